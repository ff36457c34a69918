// The self-check's texts: each in Japanese (in UTF-8, made code page 932 for Windows' narrow
// output as it is written) and in English. {1}, {2}, ... stand for the values put in.
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
  const char* japanese;
  const char* english;
};

extern const CheckTextForms kCheckTexts[kCheckTextCount];
