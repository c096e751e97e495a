// Opens index.htm of a documentation set in Chromium and follows every link as a reader would: each
// list link loads its table into mainFrame, each reference lands on its field's row, each diagram box
// opens its table. Prints what it followed; fails on the first link that goes astray.
// usage: node follow-links.cjs INDEX_HTM TABLE_NAME... (playwright-core on NODE_PATH)
'use strict';
const { chromium } = require('playwright-core');
const { pathToFileURL } = require('url');

const [indexPath, ...tables] = process.argv.slice(2);
const json = JSON.stringify;
const fail = (message) => { throw new Error(message); };
const folder = pathToFileURL(indexPath).href.replace(/[^/]*$/, '');
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
    // The whole URL must match (a list link to the page a reference just landed on differs from it
    // only by the fragment): one file of the set's folder, no query.
    const open = async (link, file, hash = '') => {
      const href = await link.getAttribute('href') || await link.getAttribute('xlink:href');
      await link.click();
      const opened = (url) => url.href.startsWith(folder) && !url.href.slice(folder.length).includes('/') &&
                              fileOf(url.href) === file && url.search === '' && url.hash === hash;
      await main.waitForURL(opened, { timeout: 15000 }).catch(() => fail(`${href} did not open ${file}${hash}`));
      await main.waitForLoadState();
    };

    const links = left.locator('a:not(#diagram)');
    const shown = await links.allTextContents();
    if (json(shown) !== json(tables)) fail(`index lists ${json(shown)}`);
    for (let i = 0; i < tables.length; ++i) {
      await open(links.nth(i), `${tables[i]}.htm`);
      const caption = await main.locator('td b').first().textContent();
      if (caption !== tables[i]) fail(`table page caption renders as ${json(caption)}`);
      const header = await main.locator('tr').nth(1).innerText();
      if (!/Field\s+(LogicalName\s+)?Attribute\s+Size\s+Null\s+PrimaryKey/.test(header)) fail(`column headings: ${header}`);
      const references = main.locator('a[href*="#"]');
      for (let k = 0, count = await references.count(); k < count; ++k) {
        if (k > 0) await open(links.nth(i), `${tables[i]}.htm`);
        const target = new URL(await references.nth(k).getAttribute('href'), main.url());
        await open(references.nth(k), fileOf(target.href), target.hash);
        const field = decodeURIComponent(target.hash.slice(1));
        const row = (await main.locator('tr:target td').first().innerText()).trim();
        if (row !== field) fail(`${target.href} lands on the row of "${row}"`);
        console.log(`landed ${json([tables[i], fileOf(target.href).replace(/\.htm$/, ''), field])}`);
      }
    }

    await open(left.locator('#diagram'), 'diagram.htm');
    const boxes = main.locator('svg g.node');
    const count = await boxes.count();
    console.log(`diagram ${count} boxes ${await main.locator('svg g.edge').count()} arrows`);
    for (let k = 0; k < count; ++k) {
      if (k > 0) await open(left.locator('#diagram'), 'diagram.htm');
      // A box shows its table's name with control characters as blanks.
      const text = await boxes.nth(k).locator('text').first().textContent();
      const name = tables.find((t) => t.replace(/[\x01-\x1f]/g, ' ') === text) ?? fail(`box ${json(text)}`);
      await open(boxes.nth(k).locator('a'), `${name}.htm`);
      console.log(`box ${json(name)}`);
    }
  } finally {
    await browser.close();
  }
})().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
