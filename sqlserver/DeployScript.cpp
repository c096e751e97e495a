#include "sqlserver/DeployScript.h"

#include "platform/text/Cp932.h"
#include "platform/text/Utf8.h"

namespace morvane {
namespace {

// A value inside a "--" comment: a line break would end the comment and turn the rest into
// SQL, and a character the code cannot hold must not cost the whole script.
std::string commentValue(std::string_view text, platform::Charset charset) {
  std::string out;
  while (!text.empty()) {
    char32_t code = 0;
    std::size_t len = platform::decodeUtf8(text, code);
    if (len == 0) {
      out += '?';
      text.remove_prefix(1);
      continue;
    }
    const std::string_view piece = text.substr(0, len);
    text.remove_prefix(len);
    if (code < 0x20 || code == 0x7F) {
      out += ' ';
    } else if (charset == platform::Charset::Cp932 && !platform::fitsCp932(piece)) {
      out += '?';
    } else {
      out += piece;
    }
  }
  return out;
}

}  // namespace

DeployScript::DeployScript(const DeployHeading& heading, const platform::OutputEncoding& encoding)
    : encoding_(encoding) {
  const platform::Charset charset = encoding.charset;
  std::string text;
  text += "-- Morvane For SQLServer テーブル作成スクリプト (sqlcmd -i で実行します)\r\n";
  text += "-- ブック: " + commentValue(heading.workbookName, charset) + "\r\n";
  text += "-- ブックの更新日時: " + commentValue(heading.workbookModified, charset) + "\r\n";
  text += "-- 作成: morvane-batch " + commentValue(heading.toolVersion, charset) + "\r\n";
  // Each table all or nothing: with it off a failed statement is rolled back alone and COMMIT
  // keeps the rest. sqlcmd keeps the setting for the batches after it.
  text += "SET XACT_ABORT ON\r\nGO\r\n";
  text += "\r\n";
  bytes_ = platform::encodeFile(text, encoding_);
}

void DeployScript::add(std::string_view encodedScript) {
  bytes_ += encodedScript;
  bytes_ += platform::encodeText("GO\r\n", encoding_);
}

}  // namespace morvane
