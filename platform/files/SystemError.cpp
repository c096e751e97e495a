#include "platform/files/SystemError.h"

#include <cerrno>
#include <cstring>

namespace morvane::platform {

std::string describeSystemError(int errnum) {
  switch (errnum) {
    case ENOENT: return "ファイルまたはフォルダがありません";
    case EACCES:
    case EPERM: return "アクセスが許可されていません";
    case EROFS: return "読み取り専用のファイルシステムです";
    case ENOSPC: return "ディスクに空きがありません";
    case EDQUOT: return "ディスク容量の制限を超えました";
    case EEXIST: return "同じ名前のファイルがすでにあります";
    case EISDIR: return "フォルダです";
    case ENOTDIR: return "パスの途中がフォルダではありません";
    case ENAMETOOLONG: return "ファイル名が長すぎます";
    case EFBIG: return "ファイルが大きすぎます";
    case EIO: return "入出力エラーが起きました";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎます";
    case ELOOP: return "シンボリックリンクが多すぎます";
    case EXDEV: return "別のファイルシステムへは移動できません";
    case EBUSY: return "使用中です";
    case EINVAL: return "ファイル名が正しくありません";
    default: return std::strerror(errnum);
  }
}

}  // namespace morvane::platform
