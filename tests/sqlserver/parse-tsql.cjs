// node parse-tsql.cjs FILE... (antlr4ts-sql on NODE_PATH): each syntax error as FILE:LINE:COLUMN: message,
// and exit 1 when there is one. A file is UTF-8 (its byte order mark dropped), else code page 932.
'use strict';
const fs = require('fs');
const { antlr4tsSQL, SQLDialect } = require('antlr4ts-sql');

const decode = (bytes) => {
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch {
    return new TextDecoder('shift_jis').decode(bytes);
  }
};
let failed = false;
for (const file of process.argv.slice(2)) {
  const listener = {
    syntaxError: (_recognizer, _symbol, line, column, message) => {
      console.log(`${file}:${line}:${column}: ${message.replace(/ expecting \{.*\}$/, '')}`);
      failed = true;
    },
  };
  const tsql = new antlr4tsSQL(SQLDialect.TSQL);
  tsql.getParseTree(tsql.getParser(tsql.getTokens(decode(fs.readFileSync(file)), [listener]), [listener]));
}
process.exit(failed ? 1 : 0);
