#include "model/clsHash.h"

#include <cerrno>
#include <string_view>

#include "model/Text.h"
#include "platform/text/Cp932.h"
#include "platform/files/Files.h"

namespace morvane {

void clsHash::AddItem(const std::string& item) {
  if (isBlank(item)) return;
  // The generated key must not collide with the pair that would follow it.
  const std::string next = std::to_string(keys_.size() + 1);
  if (findKey(next) >= 0) Remove(next);
  keys_.push_back(std::to_string(keys_.size() + 1));
  items_.push_back(item);
}

void clsHash::AddKey(const std::string& key) {
  if (isBlank(key)) return;
  const std::int32_t at = findKey(key);
  if (at >= 0) {
    items_[static_cast<std::size_t>(at)].clear();
    return;
  }
  keys_.push_back(key);
  items_.emplace_back();
}

void clsHash::Add(const std::string& key, const std::string& item) {
  if (isBlank(key) && isBlank(item)) return;
  const std::int32_t at = findKey(key);
  if (at >= 0) {
    keys_[static_cast<std::size_t>(at)] = key;
    items_[static_cast<std::size_t>(at)] = item;
    return;
  }
  keys_.push_back(key);
  items_.push_back(item);
}

void clsHash::Remove(const std::string& key) {
  const std::int32_t at = findKey(key);
  if (at < 0) return;
  keys_.erase(keys_.begin() + at);
  items_.erase(items_.begin() + at);
}

void clsHash::RemoveAll() {
  keys_.clear();
  items_.clear();
}

std::string clsHash::getKey(const std::string& item) const {
  const std::int32_t at = findItem(item);
  return at < 0 ? std::string() : keys_[static_cast<std::size_t>(at)];
}

std::string clsHash::getKey2(std::int32_t position) const {
  if (position < 1 || position > getCount()) return {};
  return keys_[static_cast<std::size_t>(position - 1)];
}

std::string clsHash::getItem2(std::int32_t position) const {
  if (position < 1 || position > getCount()) return {};
  return items_[static_cast<std::size_t>(position - 1)];
}

std::string clsHash::getItem(const std::string& key) const {
  const std::int32_t at = findKey(key);
  return at < 0 ? std::string() : items_[static_cast<std::size_t>(at)];
}

bool clsHash::Exists(const std::string& key) const { return findKey(key) >= 0; }

// A separator longer than one character is searched and dropped as a whole.
void clsHash::Split(const std::string& separator, const std::string& data) {
  RemoveAll();
  if (isBlank(data)) return;
  if (separator.empty() || data.find(separator) == std::string::npos) {
    Add("1", data);
    return;
  }
  std::string_view rest(data);
  for (int piece = 1;; ++piece) {
    const auto at = rest.find(separator);
    if (at == std::string_view::npos) {
      if (!rest.empty()) Add(std::to_string(piece), std::string(rest));
      return;
    }
    Add(std::to_string(piece), std::string(rest.substr(0, at)));
    rest.remove_prefix(at + separator.size());
  }
}

namespace {

std::string join(const std::vector<std::string>& texts, const std::string& separator) {
  std::string out;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += separator;
    out += texts[i];
  }
  return out;
}

}  // namespace

std::string clsHash::GetAllItems(const std::string& separator) const { return join(items_, separator); }

std::string clsHash::GetAllKeys(const std::string& separator) const { return join(keys_, separator); }

bool clsHash::fnSaveFileAsXml(const std::string& path) {
  std::string text;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    text += '<' + keys_[i] + '>' + items_[i] + "</" + keys_[i] + ">\r\n";
  }
  try {
    // Converted before the file is touched, so a text the code page cannot hold leaves the old
    // file as it was.
    const std::string bytes = platform::toCp932(text);
    platform::replaceFile(path, bytes);
  } catch (const platform::Cp932Error& error) {
    errNo_ = EILSEQ;
    errMsg_ = path + ": " + error.what();
    return false;
  } catch (const platform::FileError& error) {
    errNo_ = error.code() != 0 ? error.code() : EIO;
    errMsg_ = error.what();
    return false;
  } catch (const std::exception& error) {
    errNo_ = EIO;
    errMsg_ = error.what();
    return false;
  }
  errNo_ = 0;
  errMsg_.clear();
  return true;
}

std::int32_t clsHash::findKey(const std::string& key) const {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::int32_t clsHash::findItem(const std::string& item) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == item) return static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace morvane
