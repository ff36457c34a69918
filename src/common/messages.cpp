#include "common/messages.h"

#include <string>

#include "platform/platform.h"

namespace {

const char* const kUtf8Texts[kMessageCount] = {
    "実行ファイルの名前が正しくありません。",
    "のようにリネームしてください。",
    "を起動することができません。",
    "想定外のコマンドです。",
    "でエラーが発生しました。",
    "\u3000",
};

}  // namespace

std::string_view message(MessageId id) {
  // Made narrow once: code page 932 bytes in the Windows build.
  static const struct Narrow {
    std::string texts[kMessageCount];
    Narrow() {
      for (int i = 0; i < kMessageCount; ++i) texts[i] = platform::narrow_from_utf8(kUtf8Texts[i]);
    }
  } narrow;
  return narrow.texts[id];
}
