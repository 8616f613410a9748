#include <windows.h>

#include "test_support/test_support.h"

namespace tessarel::testing {

extern const char* const kPlatform = "win32";

namespace {

// One argument as the C runtime splits it back out: quoted when empty or holding
// white space or quotes, backslashes doubled only where they precede a quote.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '"') quoted.append(backslashes + 1, '\\');
    backslashes = c == '\\' ? backslashes + 1 : 0;
    quoted += c;
  }
  return quoted.append(backslashes, '\\') + '"';
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const std::string& workDir,
                   const RunLimits& limit) {
  ToolResult result;
  // Made absolute, the build's "/work/build/Tessarel.exe" holds in any working directory.
  char exe[MAX_PATH];
  const DWORD length = GetFullPathNameA(TESSAREL_EXE, MAX_PATH, exe, nullptr);
  if (limit.bytes != 0 || length == 0 || length >= MAX_PATH) return result;
  std::string commandLine = std::string("\"") + exe + "\"";
  for (const std::string& arg : args) commandLine += " " + QuoteArgument(arg);

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return result;
  // An inherited read end would keep the pipe open after the child exits: reads never end.
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  const HANDLE nul =
      CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inheritable, OPEN_EXISTING, 0, nullptr);
  const std::string errors = workDir + ".stderr";
  const HANDLE errorFile = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                       CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdError = errorFile;
  startup.hStdOutput = writeEnd;
  PROCESS_INFORMATION process{};
  // A start that fails under a busy Wine is tried once more: it says nothing
  // of the tool, whose own failures show in its output and exit status.
  bool started = false;
  for (int attempt = 0; attempt < 2 && !started; ++attempt) {
    started = CreateProcessA(exe, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             workDir.c_str(), &startup, &process) != 0;
  }
  CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (errorFile != INVALID_HANDLE_VALUE) CloseHandle(errorFile);
  char buffer[4096];
  DWORD got = 0;
  while (started && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    result.output.append(buffer, got);
  }
  DWORD exitCode = 0;
  if (started && WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process.hProcess, &exitCode)) {
    result.exitCode = static_cast<int>(exitCode);
  }
  if (started) CloseHandle(process.hThread), CloseHandle(process.hProcess);
  CloseHandle(readEnd);
  const std::vector<std::uint8_t> bytes = ReadBytes(errors);
  result.errors.assign(bytes.begin(), bytes.end());
  DeleteFileA(errors.c_str());
  std::erase(result.output, '\r');  // the console's "\r\n" line ends
  std::erase(result.errors, '\r');
  return result;
}

}  // namespace tessarel::testing
