#include "front/self_check_texts.h"

// clang-format off
const CheckTextForms kCheckTexts[kCheckTextCount] = {
    // kHeader
    {"orv 自己診断（フォルダー {1}）",
     "orv self-check of the folder {1}"},
    // kWhatOrvIs
    {"orv {1}: {2} 用の USI アダプターです。GUI にはエンジンとして {3} ではなく {4} を登録してくだ"
     "さい。",
     "orv {1}: the USI adapter for {2}. Register {4} in the GUI as the engine, not {3}."},
    // kNameRight
    {"アダプターの名前 {1} は正しい形（orv_ + エンジン名）です。",
     "The adapter's name {1} is right (orv_ + the engine's name)."},
    // kNameWrong
    {"アダプターの名前 {1} は正しくありません。名前を {2} に変更してください。",
     "The adapter's name {1} is wrong: rename it {2}."},
    // kNameCopied
    {"アダプターの名前 {1} ではエンジン {2} を探しますが、このフォルダーにあるのは {3} です。アダプ"
     "ターの名前を {4} に変更してください。",
     "The adapter's name {1} asks for the engine {2}, which is not here, but {3} is: rename the "
     "adapter {4}."},
    // kNotCheckedForName
    {"アダプターの名前を直すまで、エンジンと ini ファイルは確認できません。",
     "The engine and the ini file are not checked until the adapter's name is right."},
    // kEngineThere
    {"エンジン {1} が見つかりました。",
     "The engine {1} is there."},
    // kEngineMissing
    {"エンジン {1} が見つかりません。このフォルダーにエンジンを {2} という名前で置いてください。",
     "The engine {1} is missing: put the engine in this folder under the name {2}."},
    // kEngineMisnamed
    {"エンジン {1} が見つかりません。似た名前のファイルがあります: {3}。エンジンの名前を {2} に変更"
     "してください。",
     "The engine {1} is missing, but files with a similar name are here: {3}. Rename the engine "
     "{2}."},
    // kEngineInSubfolder
    {"エンジン {1} はこのフォルダーではなく {2} にあります。{3} をそのフォルダーのエンジンの隣に移"
     "し、そこから GUI に登録してください（エンジンは一緒に入っていたファイルと同じ場所に置いたまま"
     "にします）。",
     "The engine {1} is not in this folder but in {2}: move {3} into that folder, beside the "
     "engine, and register it there (the engine stays with the files it came with)."},
    // kEngineNotStarted
    {"エンジンが見つからないため、起動は確認していません。",
     "The engine is not started: it is missing."},
    // kEngineSaidName
    {"エンジンを起動できました（エンジン名: {1}）",
     "The engine started and said its name: {1}"},
    // kEngineSilent
    {"エンジンは起動しましたが、10 秒待っても応答がありません（読み込み中の可能性があります）。molv"
     "ara ならすぐに名前を答えるので、別のプログラム（USI エンジンなど）かもしれません。",
     "The engine started but did not answer within 10 s, where molvara says its name at once: it "
     "may be another program (a USI engine, say), or still loading its files."},
    // kEngineEnded
    {"エンジン {1} はすぐに終了しました（終了コード {2}）。最後に出力した内容:",
     "The engine {1} ended at once, with exit code {2}. What it wrote last:"},
    // kEngineEndedMute
    {"エンジン {1} は何も出力せずにすぐに終了しました（終了コード {2}）。",
     "The engine {1} ended at once, with exit code {2}, and wrote nothing."},
    // kEngineClosedOutput
    {"エンジン {1} は名前を答える前に出力を閉じました。",
     "The engine {1} closed its output before it said its name."},
    // kExitMissingDll
    {"  0xC0000135: エンジンに必要な DLL が見つかりません。エンジンの作者が指定するもの（Visual C++"
     " ランタイムなど）を入れるか、その DLL をエンジンと同じフォルダーに置いてください。",
     "  0xC0000135: a DLL the engine needs is missing: install what its makers name (such as a "
     "Visual C++ runtime), or put the DLL beside the engine."},
    // kExitWrongBits
    {"  0xC000007B: エンジンと、エンジンが読み込む DLL の 64 ビット／32 ビットが合っていません。そ"
     "ろった版を入手してください。",
     "  0xC000007B: the engine and a DLL it loads are not both 64-bit (or both 32-bit): get builds "
     "that match."},
    // kEngineErrorLine
    {"  標準エラー出力: {1}",
     "  standard error: {1}"},
    // kEngineOutputLine
    {"  標準出力: {1}",
     "  standard output: {1}"},
    // kEngineCannotStart
    {"エンジン {1} を起動できません。壊れていないか、セキュリティソフトに止められていないか確認して"
     "ください。",
     "The engine {1} cannot be started: check that it is a working program and that no security "
     "program blocks it."},
    // kEngineNoRunBit
    {"エンジン {1} に実行権限がありません。chmod +x {1} で実行権限を付けてください。",
     "The engine {1} may not run: give it the right to run (chmod +x {1})."},
    // kFolderWritable
    {"このフォルダーに書き込めます（orv は自分と同じフォルダーに {1} と orv.csa を作ります）。",
     "The folder can be written (orv makes {1} and orv.csa beside itself)."},
    // kFolderInTemp
    {"このフォルダーは一時ファイル用のフォルダーの中にあります。zip を開いた画面から実行したプログ"
     "ラムは、ここに一時的に取り出されるだけです。パッケージ全体を（Windows では zip を右クリックし"
     "て「すべて展開」で）{1} のような自分のフォルダーに展開し、そこから起動してください。",
     "The folder lies in the folder for temporary files, where a program started from inside a zip "
     "is put for a moment: unpack the whole package (on Windows: right-click the zip, Extract All) "
     "into a folder of your own such as {1}, and start orv there."},
    // kFolderInProgramFiles
    {"このフォルダーに書き込めません。Program Files の中にあるためです。フォルダーごと {1} のような"
     "自分のフォルダーへ移し、GUI に登録し直してください。",
     "The folder cannot be written: it lies in Program Files. Move the whole folder to one of your "
     "own, such as {1}, and register orv in the GUI again."},
    // kFolderInOneDrive
    {"このフォルダーに書き込めません。OneDrive の中にあるためです。フォルダーごと OneDrive の外の、"
     "{1} のような自分のフォルダーへ移し、GUI に登録し直してください。",
     "The folder cannot be written: it lies in OneDrive. Move the whole folder out of OneDrive to "
     "one of your own, such as {1}, and register orv in the GUI again."},
    // kFolderGuarded
    {"このフォルダーに書き込めません。Windows セキュリティの「コントロールされたフォルダー アクセス"
     "」が守っている（ドキュメント、デスクトップ、ピクチャなど）か、フォルダーのアクセス許可（「プ"
     "ロパティ」の「セキュリティ」）で書き込みが許されていません。フォルダーごと {1} のような自分の"
     "フォルダーへ移すか、Windows セキュリティの「ランサムウェア防止」で {2} と {3} を許可してくだ"
     "さい。",
     "The folder cannot be written: controlled folder access of Windows Security guards it (it "
     "guards Documents, the Desktop, Pictures and more), or its permissions (Properties, Security) "
     "do not let you write there. Move the whole folder to one of your own, such as {1}, or allow "
     "{2} and {3} in Windows Security (Ransomware protection)."},
    // kFolderNoWriteBit
    {"このフォルダーに書き込めません。フォルダーのアクセス権で書き込みが許されていません。chmod u+w"
     " \"{1}\" で許可するか、フォルダーごと {2} のような自分のフォルダーへ移してください。",
     "The folder cannot be written: its permissions do not let you write in it. Allow it (chmod "
     "u+w \"{1}\") or move the whole folder to one of your own, such as {2}."},
    // kFolderOther
    {"このフォルダーに書き込めません（ディスクがいっぱいか、書き込みできないディスクです）。フォル"
     "ダーごと {1} のような自分のフォルダーへ移してください。",
     "The folder cannot be written (its disk may be full or read-only): move the whole folder to "
     "one of your own, such as {1}."},
    // kIniThere
    {"{1} があります。エンジン: {2}、フォルダー: {3}",
     "{1} is there: engine {2}, folder {3}"},
    // kIniOtherFolder
    {"{1} は別のフォルダー {3} のものです。次の起動でエンジンを起動して書き直します。",
     "{1} names another folder, {3}: the next start starts the engine and rewrites it."},
    // kIniNotYet
    {"{1} にはまだエンジンが記録されていません。最初の起動（手動でも GUI からでも）で記録されます"
     "。",
     "{1} does not record the engine yet: the first start (by hand or from the GUI) records it."},
    // kAllWell
    {"すべて正常です。",
     "All is well."},
    // kSomethingWrong
    {"問題があります。[NG] の行の指示に従ってください。",
     "Something is wrong: do what the [FAIL] lines say."},
    // kNotAllWell
    {"失敗した項目はありませんが、エンジンが molvara のように応答しませんでした。[注意] の行を読ん"
     "でください。",
     "Nothing failed, but the engine did not answer as molvara does: see the [NOTE] line."},
    // kWaitingForUsi
    {"USI コマンドを待っています。終了するには quit と入力するか、このウィンドウを閉じてください。",
     "Waiting for USI commands: type quit or close the window to end."},
    // kPressEnter
    {"Enter キーを押すと閉じます。",
     "Press Enter to close."},
    // kVerdictOk
    {"[OK]",
     "[OK]"},
    // kVerdictFail
    {"[NG]",
     "[FAIL]"},
    // kVerdictNote
    {"[注意]",
     "[NOTE]"},
    // kVerdictSkip
    {"[未確認]",
     "[SKIP]"},
};
// clang-format on
