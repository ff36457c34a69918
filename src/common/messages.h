// The adapter's Japanese texts, in the platform's narrow text: code page 932 in the Windows
// build, UTF-8 elsewhere.
#pragma once

#include <string_view>

enum MessageId {
  kMsgBadExecutableName,  // 実行ファイルの名前が正しくありません。
  kMsgRenameLike,         // のようにリネームしてください。
  kMsgCannotStart,        // を起動することができません。
  kMsgUnexpectedCommand,  // 想定外のコマンドです。
  kMsgReadError,          // でエラーが発生しました。
  kMsgIdeographicSpace,   // the full-width blank U+3000
  kMessageCount
};

std::string_view message(MessageId id);
