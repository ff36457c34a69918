// The self-check's texts: each in Japanese (UTF-8 for a console or a POSIX terminal, code page
// 932 for Windows' narrow output) and in English. {1}, {2}, ... stand for the values put in.
#pragma once

enum CheckText {
  kHeader,
  kWhatOrvIs,
  kNameRight,
  kNameWrong,
  kNameCopied,
  kNotCheckedForName,
  kEngineThere,
  kEngineMissing,
  kEngineMisnamed,
  kEngineInSubfolder,
  kEngineNotStarted,
  kEngineSaidName,
  kEngineSilent,
  kEngineEnded,
  kEngineEndedMute,
  kEngineClosedOutput,
  kExitMissingDll,
  kExitWrongBits,
  kEngineErrorLine,
  kEngineOutputLine,
  kEngineCannotStart,
  kEngineNoRunBit,
  kFolderWritable,
  kFolderInTemp,
  kFolderInProgramFiles,
  kFolderInOneDrive,
  kFolderGuarded,
  kFolderNoWriteBit,
  kFolderOther,
  kIniThere,
  kIniOtherFolder,
  kIniNotYet,
  kAllWell,
  kSomethingWrong,
  kNotAllWell,
  kWaitingForUsi,
  kPressEnter,
  kVerdictOk,
  kVerdictFail,
  kVerdictNote,
  kVerdictSkip,
  kCheckTextCount
};

struct CheckTextForms {
  const char* utf8;
  const char* cp932;
  const char* english;
};

extern const CheckTextForms kCheckTexts[kCheckTextCount];
