// Windows pipes and the engine's process: started in a job that ends it with all it started,
// waited for, ended.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

HANDLE handle_of(Handle h) {
  return reinterpret_cast<HANDLE>(h);
}

// A pipe whose child end is inheritable and whose adapter end is not.
bool make_pipe(HANDLE& read_end, HANDLE& write_end, bool child_reads) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return false;
  SetHandleInformation(child_reads ? write_end : read_end, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

long read_pipe(Handle pipe, char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!ReadFile(handle_of(pipe), buffer, static_cast<DWORD>(size), &got, nullptr)) {
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return static_cast<long>(got);
}

long write_pipe(Handle pipe, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD wrote = 0;
    if (!WriteFile(handle_of(pipe), data + done, static_cast<DWORD>(size - done), &wrote,
                   nullptr) ||
        wrote == 0) {
      return -1;
    }
    done += wrote;
  }
  return static_cast<long>(done);
}

void close_handle(Handle& handle) {
  if (handle == no_handle) return;
  CloseHandle(handle_of(handle));
  handle = no_handle;
}

namespace {

// A job that ends its processes when its last handle closes: when the adapter ends, however
// it ends. Null where the system refuses one.
HANDLE make_kill_on_close_job() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// No console window of the engine's own when the GUI started the adapter without one.
constexpr DWORD kEngineFlags = NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW;

bool create_process(std::wstring& command, const Path& dir, STARTUPINFOW& startup, DWORD flags,
                    PROCESS_INFORMATION& process) {
  return CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, kEngineFlags | flags, nullptr,
                        dir.c_str(), &startup, &process) != 0;
}

// The engine in the job from its first instruction, so that no moment of it runs outside:
// where the system takes a job list at creation (Windows 10 and later).
bool create_in_job(std::wstring& command, const Path& dir, const STARTUPINFOW& startup, HANDLE job,
                   DWORD flags, PROCESS_INFORMATION& process) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
  STARTUPINFOEXW extended{};
  extended.StartupInfo = startup;
  extended.StartupInfo.cb = sizeof extended;
  extended.lpAttributeList = list;
  const bool created = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job,
                                                 sizeof job, nullptr, nullptr) &&
                       create_process(command, dir, extended.StartupInfo,
                                      flags | EXTENDED_STARTUPINFO_PRESENT, process);
  DeleteProcThreadAttributeList(list);
  return created;
}

// Suspended until it is in the job, so it never runs outside it. A kill of the adapter
// between the two steps would leave it suspended, which is why this is the fallback only.
bool create_then_assign(std::wstring& command, const Path& dir, STARTUPINFOW& startup, HANDLE job,
                        DWORD flags, PROCESS_INFORMATION& process) {
  if (!create_process(command, dir, startup, flags | CREATE_SUSPENDED, process)) return false;
  if (AssignProcessToJobObject(job, process.hProcess)) return true;
  TerminateProcess(process.hProcess, 1);  // it never ran
  CloseHandle(process.hThread), CloseHandle(process.hProcess);
  return false;
}

// Starts the engine in the job where it can be put in it: inside it from its creation, else
// assigned before it runs; where the adapter's own job forbids a job inside it, the engine is
// started again outside the adapter's job. Where none of this is allowed the engine runs
// without a job (job is then closed and reset), as a program the adapter started.
bool create_engine(std::wstring& command, const Path& dir, STARTUPINFOW& startup, HANDLE& job,
                   PROCESS_INFORMATION& process) {
  if (job) {
    for (DWORD breakaway : {DWORD{0}, DWORD{CREATE_BREAKAWAY_FROM_JOB}}) {
      if (create_in_job(command, dir, startup, job, breakaway, process) ||
          create_then_assign(command, dir, startup, job, breakaway, process)) {
        ResumeThread(process.hThread);
        CloseHandle(process.hThread);
        return true;
      }
    }
    CloseHandle(job);
    job = nullptr;
  }
  if (!create_process(command, dir, startup, 0, process)) return false;
  CloseHandle(process.hThread);
  return true;
}

}  // namespace

bool start_child(const Path& dir, const Path& base, Child& child) {
  HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
  if (!make_pipe(in_read, in_write, true)) return false;
  if (!make_pipe(out_read, out_write, false)) {
    CloseHandle(in_read), CloseHandle(in_write);
    return false;
  }
  if (!make_pipe(err_read, err_write, false)) {
    CloseHandle(in_read), CloseHandle(in_write), CloseHandle(out_read), CloseHandle(out_write);
    return false;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  // The path in quotes, so a folder with blanks starts the right program.
  std::wstring command = L"\"" + dir + base + to_path(executable_suffix()) + L"\" csa_shogi";
  PROCESS_INFORMATION process{};
  HANDLE job = make_kill_on_close_job();
  const bool started = create_engine(command, dir, startup, job, process);
  // The engine holds its ends now; closing ours lets a read see the engine's exit.
  CloseHandle(in_read), CloseHandle(out_write), CloseHandle(err_write);
  if (!started) {
    if (job) CloseHandle(job);
    CloseHandle(in_write), CloseHandle(out_read), CloseHandle(err_read);
    return false;
  }
  DWORD no_wait = PIPE_READMODE_BYTE | PIPE_NOWAIT;
  SetNamedPipeHandleState(in_write, &no_wait, nullptr, nullptr);
  child.to_engine = reinterpret_cast<Handle>(in_write);
  child.from_out = reinterpret_cast<Handle>(out_read);
  child.from_err = reinterpret_cast<Handle>(err_read);
  child.process = reinterpret_cast<Handle>(process.hProcess);
  child.job = job ? reinterpret_cast<Handle>(job) : no_handle;
  return true;
}

int wait_child(Child& child, unsigned timeout_ms) {
  if (child.process == no_handle) return kStillRunning;
  if (WaitForSingleObject(handle_of(child.process), timeout_ms) != WAIT_OBJECT_0) {
    return kStillRunning;
  }
  DWORD code = 0;
  GetExitCodeProcess(handle_of(child.process), &code);
  close_handle(child.process);
  return static_cast<int>(code);
}

int kill_child(Child& child) {
  if (child.process == no_handle) return kStillRunning;
  if (child.job != no_handle) TerminateJobObject(handle_of(child.job), 1);
  TerminateProcess(handle_of(child.process), 1);
  WaitForSingleObject(handle_of(child.process), 5000);
  DWORD code = 1;
  GetExitCodeProcess(handle_of(child.process), &code);
  close_handle(child.process);
  return static_cast<int>(code);
}

}  // namespace platform
