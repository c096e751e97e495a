// Opens index.htm of a documentation set in Chromium, checks that the index renders in the left
// frame and that each table link loads that table's page into mainFrame.
// usage: node follow-links.cjs INDEX_HTM TABLE_NAME... (playwright-core on NODE_PATH)
'use strict';
const { chromium } = require('playwright-core');
const { pathToFileURL } = require('url');

const [indexPath, ...tables] = process.argv.slice(2);
const fail = (message) => { throw new Error(message); };

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

    const links = left.locator('a');
    const shown = await links.allInnerTexts();
    if (JSON.stringify(shown) !== JSON.stringify(tables)) fail(`index lists ${JSON.stringify(shown)}`);
    for (let i = 0; i < tables.length; ++i) {
      await links.nth(i).click();
      await main.waitForURL((url) => decodeURIComponent(url.pathname).endsWith(`/${tables[i]}.htm`),
                         { timeout: 15000 });
      await main.waitForLoadState();
      if ((await main.title()) !== tables[i]) fail(`mainFrame title is "${await main.title()}"`);
      const caption = (await main.locator('td').first().innerText()).trim();
      if (caption !== tables[i]) fail(`table page caption renders as "${caption}"`);
      const header = await main.locator('tr').nth(1).innerText();
      if (!/Field\s+Attribute\s+Size\s+Null\s+PrimaryKey/.test(header)) fail(`column headings: ${header}`);
      console.log(`followed ${tables[i]}`);
    }
  } finally {
    await browser.close();
  }
})().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
