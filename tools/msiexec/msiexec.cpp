// msiexec.exe: the simulated Windows Installer of the Linux build's simulated
// machines (SETUP_MACHINE). It "installs" a package file, a small key=value
// text that describes the product and how the installation is to end (see
// install/SIMULATED_INSTALLER.md):
//   - writes ProductName, ProductVersion and InstallDir under
//     HKEY_LOCAL_MACHINE\SOFTWARE\TAVO\TAVO Security\CurrentVersion\Info
//     (registry.reg, 64-bit view paths) and creates the install folder;
//   - appends the "MsiInstaller" 1033 record to eventlog.tsv, whose fourth
//     string is the exit code;
//   - writes the verbose log named after /l*v (appends to it after /l*v+);
//   - writes the product installer's own log "liveinstaller_*.log" (UTF-16LE)
//     into the folder tavo of the machine's temporary folder;
//   - exits with the package's exit code (the full 32-bit code is also
//     reported to a launcher that asks for it, see exit_code_channel.h).
// Every part can be switched off by the package.
//
// Usage:
//   msiexec.exe /i PACKAGE [/qn] [/l*v LOG] [PROPERTY=VALUE]...
//   msiexec.exe --install-machine [MACHINE]   copies itself into the system
//                                             folder of the machine (default:
//                                             $SETUP_MACHINE) as msiexec.exe
//   msiexec.exe --install-as PATH             copies itself to PATH (a local
//                                             installer stand-in)
// Under any other name than msiexec.exe the program is a product installer
// that is run without arguments (the local installers "TTS\tts_nt64_jpn.exe"
// and so on): its package is the file beside it with the extension ".pkg",
// and its ADMINCFG and DISTRIBUTION_PACKAGE are cfg.xml and dpkg.xml beside it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/exit_code_channel.h"
#include "platform/posix/machine.h"
#include "platform/posix/registry_file.h"
#include "platform/utf.h"

namespace {

// Windows Installer exit codes of the simulation's own failures.
constexpr int kErrorInstallFailure = 1603;
constexpr int kErrorPackageOpenFailed = 1619;
constexpr int kErrorInvalidCommandLine = 1639;

const wchar_t kInfoKey[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

const char kServiceStopText[] =
    "サービス 'TAVO Service' (tvkr) を停止できませんでした。システム サービスを停止する特権を持っていることを確認してください。";
const char kServiceDeleteText[] =
    "サービス 'TAVO Service' (tvkr) を削除できませんでした。システム サービスを削除する特権を持っていることを確認してください。";

int Exit(int code) {
  platform::posix::ReportFullExitCode(static_cast<uint32_t>(code));
  return code;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string SelfPath() {
  char buffer[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return std::string();
  buffer[n] = '\0';
  return buffer;
}

bool MakeFolders(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i < path.size(); ++i) {
    partial.push_back(path[i]);
    if ((path[i] == '/' && i > 0) || i + 1 == path.size()) {
      if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

bool CopySelf(const std::string& to) {
  std::ifstream in(SelfPath(), std::ios::binary);
  if (!in) return false;
  MakeFolders(FolderOf(to));
  std::string temp = to + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << in.rdbuf();
    if (!out.flush()) return false;
  }
  if (::chmod(temp.c_str(), 0755) != 0 || ::rename(temp.c_str(), to.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

// The package: key=value lines; '#' or ';' start a comment line; a key may
// repeat (LiveLogLine). Keys compare without regard to case.
struct Package {
  std::map<std::string, std::vector<std::string>> values;

  bool Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
      if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
      first = false;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string trimmed = Trim(line);
      if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') continue;
      size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      values[Lower(Trim(line.substr(0, eq)))].push_back(line.substr(eq + 1));
    }
    return true;
  }
  bool Has(const std::string& key) const { return values.count(Lower(key)) != 0; }
  std::string Get(const std::string& key, const std::string& fallback) const {
    auto it = values.find(Lower(key));
    return it == values.end() || it->second.empty() ? fallback : it->second.back();
  }
  long GetInt(const std::string& key, long fallback) const {
    std::string text = Trim(Get(key, std::string()));
    if (text.empty()) return fallback;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' ? v : fallback;
  }
  bool GetFlag(const std::string& key, bool fallback) const {
    std::string text = Lower(Trim(Get(key, std::string())));
    if (text.empty()) return fallback;
    return !(text == "0" || text == "no" || text == "false" || text == "off");
  }
  std::vector<std::string> All(const std::string& key) const {
    auto it = values.find(Lower(key));
    return it == values.end() ? std::vector<std::string>() : it->second;
  }
};

struct Invocation {
  std::string package;
  std::string verboseLog;
  bool appendLog = false;  // "/l*v+": the log is appended to, as the Windows Installer does
  bool quiet = false;
  std::vector<std::pair<std::string, std::string>> properties;
  std::string commandLine;
  std::string caller;
};

std::string Stamp(time_t t, const char* format) {
  struct tm parts {};
  localtime_r(&t, &parts);
  char buffer[64];
  std::strftime(buffer, sizeof(buffer), format, &parts);
  return buffer;
}

bool WriteUtf16File(const std::string& path, const std::vector<std::string>& lines, bool append = false) {
  std::ifstream existing(path, std::ios::binary);
  const bool continues = append && existing.good() && existing.peek() != std::ifstream::traits_type::eof();
  std::string bytes = continues ? "" : "\xFF\xFE";
  for (const std::string& line : lines) bytes += platform::WideToUtf16Le(platform::Utf8ToWide(line + "\r\n"));
  std::ofstream out(path, std::ios::binary | (continues ? std::ios::app : std::ios::trunc));
  return out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && out.flush();
}

bool AppendLine(const std::string& path, const std::string& line) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::string text = line + "\n";
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return ::close(fd) == 0 && ok;
}

// Backslash escapes of the package's texts: \t, \n, \\ .
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char n = text[i + 1];
      if (n == 't') { out.push_back('\t'); ++i; continue; }
      if (n == 'n') { out.push_back('\n'); ++i; continue; }
      if (n == '\\') { out.push_back('\\'); ++i; continue; }
    }
    out.push_back(text[i]);
  }
  return out;
}

int Install(const Invocation& call) {
  Package package;
  if (!package.Load(call.package)) {
    std::fprintf(stderr, "msiexec: cannot open the package %s\n", call.package.c_str());
    return Exit(kErrorPackageOpenFailed);
  }
  const time_t now = std::time(nullptr);
  const long exitCode = package.GetInt("ExitCode", 0);
  const bool succeeded = exitCode == 0 || exitCode == 3010;
  const std::string productName = package.Get("ProductName", "TAVO Total Shield");
  const std::string productVersion = package.Get("ProductVersion", "1.0.0.0");
  std::string installDir = package.Get("InstallDir", "Program Files/TAVO/TAVO Security/");
  if (!installDir.empty() && installDir[0] != '/') {
    std::string machine = platform::posix::MachineFolder();
    installDir = (machine.empty() ? FolderOf(call.package) : machine) + installDir;
  }
  int result = static_cast<int>(exitCode);
  std::vector<std::string> problems;

  // The product itself: its folder, its files and its registry values.
  if (package.GetFlag("WriteFiles", succeeded)) {
    std::string folder = installDir;
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    std::string files = package.Get("InstallFiles", "tguiScan.dll");
    if (!MakeFolders(folder)) problems.push_back("cannot create the install folder " + folder);
    std::stringstream names(files);
    std::string name;
    while (std::getline(names, name, ',')) {
      name = Trim(name);
      if (name.empty()) continue;
      std::ofstream out(folder + name, std::ios::binary | std::ios::trunc);
      out << "installed by " << productName << " " << productVersion << "\n";
      if (!out.flush()) problems.push_back("cannot write " + folder + name);
    }
  }
  if (package.GetFlag("WriteRegistry", succeeded)) {
    const std::string path = platform::posix::MachineFile("registry.reg");
    platform::posix::RegistryFile registry;
    if (path.empty()) {
      problems.push_back("no machine folder: the registry is not written");
    } else if (!registry.Load(path)) {
      problems.push_back("cannot read " + path);
    } else {
      registry.SetString(kInfoKey, L"ProductName", platform::Utf8ToWide(productName));
      registry.SetString(kInfoKey, L"ProductVersion", platform::Utf8ToWide(productVersion));
      registry.SetString(kInfoKey, L"InstallDir", platform::Utf8ToWide(installDir));
      if (!registry.Save(path)) problems.push_back("cannot write " + path);
    }
  }
  // A simulation that could not do its work fails as an installer would.
  if (!problems.empty() && succeeded) result = kErrorInstallFailure;

  // The Windows Installer's record in the Application log.
  const std::string status = package.Get("EventStatus", std::to_string(result));
  if (package.GetFlag("EventLog", true)) {
    const std::string path = platform::posix::MachineFile("eventlog.tsv");
    if (path.empty()) {
      problems.push_back("no machine folder: no event-log record is written");
    } else {
      std::vector<std::string> strings = {package.Get("EventProduct", productName), productVersion,
                                          package.Get("ProductLanguage", "1041"), status,
                                          package.Get("Manufacturer", "TAVO")};
      long count = package.GetInt("EventStrings", static_cast<long>(strings.size()));
      if (count < 0) count = 0;
      strings.resize(static_cast<size_t>(count) < strings.size() ? static_cast<size_t>(count) : strings.size());
      std::string line = std::to_string(static_cast<long long>(now) + package.GetInt("EventTimeOffset", 0)) + "\t" +
                         package.Get("EventSource", "MsiInstaller") + "\t" +
                         std::to_string(package.GetInt("EventId", 1033));
      for (const std::string& s : strings) line += "\t" + s;
      if (!AppendLine(path, line)) problems.push_back("cannot append to " + path);
    }
  }

  // The product installer's own log.
  if (package.GetFlag("LiveLog", true)) {
    const std::string folder = platform::posix::TempFolderPath() + "tavo/";
    const std::string name = package.Get("LiveLogName", "liveinstaller_" + Stamp(now, "%Y%m%d%H%M%S") + ".log");
    std::vector<std::string> lines = {"[" + Stamp(now, "%Y/%m/%d %H:%M:%S") + "] LiveInstaller " + productName +
                                      " " + productVersion};
    for (const std::string& line : package.All("LiveLogLine")) lines.push_back(Unescape(line));
    const std::string service = Lower(Trim(package.Get("LiveLogService", "none")));
    if (service == "stop") lines.push_back(kServiceStopText);
    if (service == "delete") lines.push_back(kServiceDeleteText);
    const std::string returned = package.Get("LiveLogReturn", std::to_string(result));
    if (Lower(Trim(returned)) != "none") lines.push_back("MainEngineThread is returning " + Trim(returned));
    if (!MakeFolders(folder) || !WriteUtf16File(folder + name, lines)) {
      problems.push_back("cannot write " + folder + name);
    }
  }

  // The verbose log the command line asked for.
  if (!call.verboseLog.empty() && package.GetFlag("VerboseLog", true)) {
    std::vector<std::string> lines;
    lines.push_back("=== Verbose logging started: " + Stamp(now, "%m/%d/%Y  %H:%M:%S") +
                    "  Build type: SHIP UNICODE 5.00.10011.00  Calling process: " + call.caller + " ===");
    lines.push_back("******* Command Line: '" + call.commandLine + "'");
    lines.push_back("MSI (c) Package: " + call.package);
    for (const auto& p : call.properties) lines.push_back("Property(C): " + p.first + " = " + p.second);
    lines.push_back("MSI (s) Product: " + productName + " -- " +
                    (result == 0 || result == 3010 ? std::string("Installation completed successfully.")
                                                   : std::string("Installation operation failed.")));
    lines.push_back("MSI (s) Windows Installer installed the product. Product Name: " + productName +
                    ". Product Version: " + productVersion + ". Product Language: 1041. Manufacturer: TAVO. " +
                    "Installation success or error status: " + status + ".");
    lines.push_back("=== Verbose logging stopped: " + Stamp(now, "%m/%d/%Y  %H:%M:%S") + " ===");
    if (!WriteUtf16File(call.verboseLog, lines, call.appendLog)) problems.push_back("cannot write " + call.verboseLog);
  }

  for (const std::string& p : problems) std::fprintf(stderr, "msiexec: %s\n", p.c_str());
  return Exit(result);
}

int Usage() {
  std::fprintf(stderr,
               "usage: msiexec.exe /i PACKAGE [/qn] [/l*v LOG] [PROPERTY=VALUE]...\n"
               "       msiexec.exe --install-machine [MACHINE]\n"
               "       msiexec.exe --install-as PATH\n");
  return Exit(kErrorInvalidCommandLine);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string self = argc > 0 ? argv[0] : "msiexec.exe";
  if (argc >= 2 && std::strcmp(argv[1], "--install-machine") == 0) {
    if (argc >= 3) ::setenv("SETUP_MACHINE", argv[2], 1);
    if (platform::posix::MachineFolder().empty()) {
      std::fprintf(stderr, "msiexec: name the machine folder (or set SETUP_MACHINE)\n");
      return 2;
    }
    const std::string target = platform::posix::SystemFolderPath() + "msiexec.exe";
    if (!CopySelf(target)) {
      std::fprintf(stderr, "msiexec: cannot write %s\n", target.c_str());
      return 1;
    }
    std::printf("%s\n", target.c_str());
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--install-as") == 0) {
    if (argc < 3 || !CopySelf(argv[2])) {
      std::fprintf(stderr, "msiexec: cannot write %s\n", argc >= 3 ? argv[2] : "(no path)");
      return 1;
    }
    return 0;
  }

  Invocation call;
  call.caller = self;
  for (int i = 0; i < argc; ++i) call.commandLine += (i ? " " : "") + std::string(argv[i]);

  const std::string name = Lower(BaseName(self));
  if (name != "msiexec.exe" && name != "msiexec") {
    // A product installer run by itself: its package and files lie beside it.
    std::string path = SelfPath().empty() ? self : SelfPath();
    size_t dot = BaseName(path).find_last_of('.');
    std::string stem = dot == std::string::npos ? path : path.substr(0, path.size() - BaseName(path).size() + dot);
    call.package = stem + ".pkg";
    call.quiet = true;
    call.properties.push_back({"ADMINCFG", FolderOf(path) + "cfg.xml"});
    call.properties.push_back({"DISTRIBUTION_PACKAGE", FolderOf(path) + "dpkg.xml"});
    return Install(call);
  }

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::string lower = Lower(arg);
    if (lower == "/i") {
      if (++i >= argc) return Usage();
      call.package = argv[i];
    } else if (lower.compare(0, 2, "/q") == 0 || lower == "/norestart" || lower == "/passive") {
      call.quiet = true;
    } else if (lower.compare(0, 2, "/l") == 0) {
      call.appendLog = lower.find('+') != std::string::npos;
      if (++i >= argc) return Usage();
      call.verboseLog = argv[i];
    } else if (!arg.empty() && arg[0] != '/' && arg.find('=') != std::string::npos) {
      size_t eq = arg.find('=');
      call.properties.push_back({arg.substr(0, eq), arg.substr(eq + 1)});
    } else {
      std::fprintf(stderr, "msiexec: unknown option %s\n", arg.c_str());
      return Usage();
    }
  }
  if (call.package.empty()) return Usage();
  return Install(call);
}
