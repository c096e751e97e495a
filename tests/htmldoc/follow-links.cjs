// Opens index.htm of a documentation set in Chromium: each list link loads its table into
// mainFrame, each reference link lands on its field's row, each diagram box opens its table.
// usage: node follow-links.cjs INDEX_HTM TABLE_NAME... (playwright-core on NODE_PATH)
'use strict';
const { chromium } = require('playwright-core');
const { pathToFileURL } = require('url');

const [indexPath, ...tables] = process.argv.slice(2);
const fail = (message) => { throw new Error(message); };
const fileOf = (url) => decodeURIComponent(new URL(url).pathname).split('/').pop();

(async () => {
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = await browser.newPage();
    await page.goto(pathToFileURL(indexPath).href);
    const left = page.frame({ name: 'leftFrame' }) || fail('no leftFrame');
    const main = page.frame({ name: 'mainFrame' }) || fail('no mainFrame');
    await left.waitForLoadState();
    const heading = (await left.locator('td').first().innerText()).trim();
    if (heading !== 'テーブル一覧') fail(`left frame heading renders as "${heading}"`);
    if (!main.url().endsWith('/rightframe.htm')) fail(`mainFrame starts at ${main.url()}`);
    // The whole URL must change: a list link to the page that a reference just landed on differs
    // from it only by the fragment, and must not count as loaded before it is.
    const open = async (link, file, hash = '') => {
      await link.click();
      await main.waitForURL((url) => fileOf(url.href) === file && url.hash === hash, { timeout: 15000 });
      await main.waitForLoadState();
    };

    const links = left.locator('a:not(#diagram)');
    const shown = await links.allInnerTexts();
    if (JSON.stringify(shown) !== JSON.stringify(tables)) fail(`index lists ${JSON.stringify(shown)}`);
    for (let i = 0; i < tables.length; ++i) {
      await open(links.nth(i), `${tables[i]}.htm`);
      if (!(await main.title()).startsWith(tables[i])) fail(`mainFrame title is "${await main.title()}"`);
      const caption = await main.locator('td b').first().innerText();
      if (caption !== tables[i]) fail(`table page caption renders as "${caption}"`);
      const header = await main.locator('tr').nth(1).innerText();
      if (!/Field\s+(LogicalName\s+)?Attribute\s+Size\s+Null\s+PrimaryKey/.test(header)) fail(`column headings: ${header}`);
      console.log(`followed ${tables[i]}`);
      const references = main.locator('a[href*="#"]');
      for (let k = 0, count = await references.count(); k < count; ++k) {
        if (k > 0) await open(links.nth(i), `${tables[i]}.htm`);
        const target = new URL(await references.nth(k).getAttribute('href'), main.url());
        await open(references.nth(k), fileOf(target.href), target.hash);
        const field = decodeURIComponent(target.hash.slice(1));
        const row = (await main.locator('tr:target td').first().innerText()).trim();
        if (row !== field) fail(`${target.href} lands on the row of "${row}"`);
        console.log(`landed ${tables[i]} -> ${fileOf(target.href).replace(/\.htm$/, '')}#${field}`);
      }
    }

    const diagram = left.locator('#diagram');
    if (await diagram.count() === 0) return;
    await open(diagram, 'diagram.htm');
    const boxes = main.locator('svg g.node');
    const count = await boxes.count();
    console.log(`diagram ${count} boxes ${await main.locator('svg g.edge').count()} arrows`);
    for (let k = 0; k < count; ++k) {
      if (k > 0) await open(diagram, 'diagram.htm');
      const name = await boxes.nth(k).locator('text').first().textContent();
      await open(boxes.nth(k).locator('a'), `${name}.htm`);
      console.log(`box ${name}`);
    }
  } finally {
    await browser.close();
  }
})().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
