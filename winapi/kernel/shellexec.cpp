// Starting programs by their Windows path, their process handles, and the system's texts for error codes.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <strings.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "winapi/kernel/files_internal.h"
#include "winapi/kernel/internal.h"
#include "winapi/kernel/objects.h"
#include "winapi/testing.h"

extern char** environ;

namespace {

using winapi::kernel::SyncLock;
using winapi::kernel::Waitable;

class ProcessObject : public Waitable {
 public:
  bool Ready(DWORD) const override { return finished; }
  // Guarded by SyncLock:
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
};

std::mutex g_hookLock;
winapi::testing::SpawnHook& Hook() {
  static winapi::testing::SpawnHook hook;
  return hook;
}
void ResetShell() {
  std::lock_guard<std::mutex> guard(g_hookLock);
  Hook() = nullptr;
}
void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(ResetShell), true);
  (void)registered;
}

void Finish(ProcessObject& process, DWORD exitCode) {
  std::lock_guard<std::mutex> guard(SyncLock());
  process.exitCode = exitCode;
  process.finished = true;
  winapi::kernel::Satisfy(process);
}

// The platform's programs split their command line so: white space separates arguments, double quotes group
// them, and backslashes are literal except before a quote (2n of them give n and a quote that groups, 2n+1
// give n and a literal quote).
std::vector<std::string> SplitParameters(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '\\') {
        size_t n = 0;
        while (i < line.size() && line[i] == '\\') ++n, ++i;
        if (i < line.size() && line[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(n, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';  // "" inside quotes is one quote
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += line[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && (path[0] == '\\' || path[0] == '/')) ||
         (path.size() >= 2 && path[1] == ':');
}

// Finds the program's host file: the name as given, or without its ".exe" (programs here have none).
DWORD FindProgram(const std::string& windowsPath, winapi::files::Resolved* found) {
  DWORD error = winapi::files::Resolve(windowsPath.c_str(), found);
  if (error) return error;
  if (!found->exists && windowsPath.size() > 4 && strcasecmp(windowsPath.c_str() + windowsPath.size() - 4, ".exe") == 0) {
    winapi::files::Resolved bare;
    if (winapi::files::Resolve(windowsPath.substr(0, windowsPath.size() - 4).c_str(), &bare) == 0 && bare.exists)
      *found = bare;
  }
  if (!found->exists) return ERROR_FILE_NOT_FOUND;
  if (found->isDir || access(found->host.c_str(), X_OK) != 0) return ERROR_ACCESS_DENIED;
  return 0;
}

ULONG_PTR ShellCode(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND: return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED: return SE_ERR_ACCESSDENIED;
    case ERROR_NOT_ENOUGH_MEMORY: return SE_ERR_OOM;
    default: return SE_ERR_NOASSOC;
  }
}

BOOL Fail(LPSHELLEXECUTEINFOA info, DWORD error) {
  if (info) {
    info->hInstApp = reinterpret_cast<HINSTANCE>(ShellCode(error));
    info->hProcess = nullptr;
  }
  SetLastError(error);
  return FALSE;
}

DWORD Spawn(const winapi::testing::SpawnRequest& request, const std::shared_ptr<ProcessObject>& process) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(request.hostPath.c_str()));
  for (const std::string& a : request.arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!request.hostDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, request.hostDirectory.c_str());
  pid_t pid = 0;
  int rc = posix_spawn(&pid, request.hostPath.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return winapi::files::ErrnoToError(rc, ERROR_BAD_EXE_FORMAT);
  // The handle is signalled when the program ends, whoever holds it.
  std::thread([pid, process] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    DWORD code = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status))
                                   : WIFSIGNALED(status) ? 128u + static_cast<DWORD>(WTERMSIG(status)) : 1u;
    Finish(*process, code);
  }).detach();
  return 0;
}

struct ErrorText {
  DWORD code;
  const char* text;
};
const ErrorText kErrorTexts[] = {
    {ERROR_SUCCESS, "The operation completed."},
    {ERROR_INVALID_FUNCTION, "The function is not valid here."},
    {ERROR_FILE_NOT_FOUND, "The file could not be found."},
    {ERROR_PATH_NOT_FOUND, "The folder could not be found."},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open."},
    {ERROR_ACCESS_DENIED, "Access was refused."},
    {ERROR_INVALID_HANDLE, "The handle is not valid."},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory for this."},
    {ERROR_OUTOFMEMORY, "There is not enough memory for this."},
    {ERROR_NOT_READY, "The drive is not ready."},
    {ERROR_WRITE_FAULT, "The drive could not be written."},
    {ERROR_READ_FAULT, "The drive could not be read."},
    {ERROR_SHARING_VIOLATION, "Another program is using the file."},
    {ERROR_NOT_SUPPORTED, "The request is not supported."},
    {ERROR_FILE_EXISTS, "The file exists already."},
    {ERROR_INVALID_PARAMETER, "A parameter is not valid."},
    {ERROR_DISK_FULL, "The disk is full."},
    {ERROR_INSUFFICIENT_BUFFER, "The buffer is too small."},
    {ERROR_MOD_NOT_FOUND, "The module could not be found."},
    {ERROR_ALREADY_EXISTS, "The object exists already."},
    {ERROR_BAD_EXE_FORMAT, "The file is not a program that can be run."},
    {ERROR_MORE_DATA, "More data is available."},
    {ERROR_BADKEY, "The registry key is not valid."},
    {ERROR_CANTWRITE, "The registry could not be written."},
    {ERROR_KEY_DELETED, "The registry key has been deleted."},
    {ERROR_NO_ASSOCIATION, "No program is associated with this file."},
    {ERROR_CANCELLED, "The operation was cancelled."},
    {ERROR_TIMEOUT, "The operation timed out."},
};

}  // namespace

namespace winapi::testing {
void SetSpawnHook(SpawnHook hook) {
  RegisterReset();
  std::lock_guard<std::mutex> guard(g_hookLock);
  Hook() = std::move(hook);
}
}  // namespace winapi::testing

BOOL ShellExecuteExA(LPSHELLEXECUTEINFOA info) {
  RegisterReset();
  if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOA) || !info->lpFile || !*info->lpFile)
    return Fail(info, ERROR_INVALID_PARAMETER);
  if (info->lpVerb && *info->lpVerb && strcasecmp(info->lpVerb, "open") != 0) return Fail(info, ERROR_NO_ASSOCIATION);
  if (winapi::internal::FailNow("ShellExecuteExA")) return Fail(info, GetLastError());

  winapi::testing::SpawnRequest request;
  std::string directory;
  if (info->lpDirectory && *info->lpDirectory) {
    directory = info->lpDirectory;
  } else {
    char current[MAX_PATH] = {};
    if (GetCurrentDirectoryA(sizeof current, current)) directory = current;
  }
  std::string file = info->lpFile;
  if (!IsAbsolute(file) && !directory.empty())
    file = directory + (directory.back() == '\\' || directory.back() == '/' ? "" : "\\") + file;

  winapi::files::Resolved program;
  if (DWORD error = FindProgram(file, &program)) return Fail(info, error);
  request.windowsPath = program.windows;
  request.hostPath = program.host;
  request.parameters = info->lpParameters ? info->lpParameters : "";
  request.arguments = SplitParameters(request.parameters);
  winapi::files::Resolved folder;
  if (!directory.empty() && winapi::files::Resolve(directory.c_str(), &folder) == 0 && folder.isDir)
    request.hostDirectory = folder.host;

  auto process = std::make_shared<ProcessObject>();
  winapi::testing::SpawnHook hook;
  {
    std::lock_guard<std::mutex> guard(g_hookLock);
    hook = Hook();
  }
  if (hook) {
    winapi::testing::SpawnResult result = hook(request);
    if (!result.started) return Fail(info, result.error ? result.error : ERROR_ACCESS_DENIED);
    Finish(*process, result.exitCode);
  } else if (DWORD error = Spawn(request, process)) {
    return Fail(info, error);
  }

  info->hProcess = nullptr;
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
    info->hProcess = winapi::kernel::AddHandle(process);
    if (!info->hProcess) return Fail(info, ERROR_NOT_ENOUGH_MEMORY);  // the program runs on regardless
  }
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(42));
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE handle, LPDWORD exitCode) {
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (handle == GetCurrentProcess()) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  auto process = winapi::kernel::Find<ProcessObject>(handle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(SyncLock());
  *exitCode = process->exitCode;
  return TRUE;
}

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING)) ||
      !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  for (const ErrorText& e : kErrorTexts) {
    if (e.code != messageId) continue;
    std::string text = std::string(e.text) + "\r\n";
    if (text.size() + 1 > size) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
  }
  SetLastError(ERROR_MR_MID_NOT_FOUND);
  return 0;
}
