// Parses T-SQL files with the grammars-v4 T-SQL grammar that antlr4ts-sql ships (on NODE_PATH) and
// prints each syntax error as FILE:LINE:COLUMN: message; exits 1 when a file has one. A file is read
// as UTF-8 (a byte order mark dropped), or as code page 932 when it is not UTF-8.
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
