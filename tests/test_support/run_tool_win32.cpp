#include <windows.h>

#include "test_support/test_support.h"

namespace tessarel::testing {
namespace {

// One argument as the C runtime's parser splits it back out: quoted when it is
// empty or holds white space or quotes, with backslashes doubled only where
// they precede a quote.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string WithUnixLineEnds(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const std::string& workDir) {
  ToolResult result;
  // The build gives a path like "/work/build/Tessarel.exe"; made absolute here
  // it names the same file from any working directory of the child.
  char exe[MAX_PATH];
  const DWORD length = GetFullPathNameA(TESSAREL_EXE, MAX_PATH, exe, nullptr);
  if (length == 0 || length >= MAX_PATH) return result;
  std::string commandLine = std::string("\"") + exe + "\"";
  for (const std::string& arg : args) commandLine += " " + QuoteArgument(arg);

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return result;
  // Only the write end goes to the child: an inherited read end would keep the
  // pipe open after the child exits and the read loop below would never end.
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  const HANDLE nul =
      CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inheritable, OPEN_EXISTING, 0, nullptr);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = writeEnd;
  startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessA(exe, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      workDir.c_str(), &startup, &process) != 0;
  CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (started) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      result.output.append(buffer, got);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) {
      result.exitCode = static_cast<int>(exitCode);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  result.output = WithUnixLineEnds(result.output);
  return result;
}

}  // namespace tessarel::testing
