// Measures the network side of the launcher against plain tools; driven by
// scripts/bench-network.sh, which prints the ratios.
//
//   net_bench download URL OUT            HttpDownloader::Download
//   net_bench md5 FILE HASH               VerifyPackageHash
//   net_bench fetch-verify URL OUT HASH   both, then the peak resident memory
//   net_bench package URL OUT HASH        a package as the install worker gets
//                                         it: three attempts, each going on
//                                         where the last broke off, and the digest
//   net_bench fetch-config URL OUT        DownloadConfig.xml fetched and parsed
//   net_bench xml URL OUT TIMEOUT DEADLINE  one XML file with that timeout and
//                                         deadline (ms), as the version file is
//   net_bench config FILE ROUNDS          ParseDownloadConfig (parse and all reads)
//   net_bench xmlparse FILE ROUNDS        the bare libxml2 parse of the same file
//   net_bench settings FILE               LoadLaunchSettings (the complete read)
//   net_bench notices FILE                ReadNotificationItems
//
// Each prints "seconds=<s>" (per round for config and xmlparse) and, for
// fetch-verify and fetch-config, "peak_rss_kib=<n>" from the kernel's
// high-water mark.
#include <libxml/parser.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "config/download_config.h"
#include "config/launch_settings.h"
#include "config/notification_data.h"
#include "net/http_downloader.h"
#include "net/package_download.h"
#include "net/retry_chain.h"
#include "platform/utf.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long PeakRssKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmHWM:") == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

std::wstring W(const char* text) { return platform::Utf8ToWide(text); }

// The attempts follow each other at once: no retry marker lies here.
struct NoWaits : WaitClock {
  void Wait(uint32_t) override {}
};

int Usage() {
  std::fprintf(stderr, "usage: net_bench download URL OUT | md5 FILE HASH | fetch-verify URL OUT HASH |\n"
                       "                 package URL OUT HASH | fetch-config URL OUT | xml URL OUT TIMEOUT DEADLINE |\n"
               "                 config FILE ROUNDS | xmlparse FILE ROUNDS | settings FILE | notices FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "download" && argc == 4) {
    double start = Now();
    bool ok = HttpDownloader().Download({W(argv[2]), W(argv[3])});
    std::printf("ok=%d seconds=%.6f\n", ok, Now() - start);
    return ok ? 0 : 1;
  }
  if (command == "xml" && argc == 6) {
    double start = Now();
    const auto timeout = static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10));
    const auto deadline = static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10));
    bool ok = HttpDownloader().Download(XmlFileRequest(W(argv[2]), W(argv[3]), timeout, deadline));
    std::printf("ok=%d seconds=%.6f\n", ok, Now() - start);
    return ok ? 0 : 1;
  }
  if (command == "md5" && argc == 4) {
    double start = Now();
    bool ok = VerifyPackageHash(W(argv[2]), W(argv[3]));
    std::printf("ok=%d seconds=%.6f\n", ok, Now() - start);
    return ok ? 0 : 1;
  }
  if (command == "fetch-verify" && argc == 5) {
    double start = Now();
    bool ok = HttpDownloader().Download({W(argv[2]), W(argv[3])}) &&
              VerifyPackageHash(W(argv[3]), W(argv[4]));
    std::printf("ok=%d seconds=%.6f peak_rss_kib=%ld\n", ok, Now() - start, PeakRssKib());
    return ok ? 0 : 1;
  }
  if (command == "package" && argc == 5) {
    double start = Now();
    NoWaits clock;
    int failed = 0;
    const std::wstring out = W(argv[3]), hash = W(argv[4]);
    HttpDownloader downloader;
    bool ok = DownloadWithRetries(
                  downloader, {W(argv[2]), out}, ParentFolder(out), clock, [&](int) { ++failed; },
                  [&](const std::wstring& path) { return PackageHashMatches(path, hash); }) &&
              VerifyPackageHash(out, hash);
    std::printf("ok=%d seconds=%.6f failed_attempts=%d\n", ok, Now() - start, failed);
    return ok ? 0 : 1;
  }
  if (command == "fetch-config" && argc == 4) {
    double start = Now();
    bool fetched = HttpDownloader().Download(XmlFileRequest(W(argv[2]), W(argv[3])));
    std::vector<PackageEntry> entries;
    bool parsed = fetched && ParseDownloadConfig(W(argv[3]), &entries);
    std::printf("fetched=%d parsed=%d seconds=%.6f peak_rss_kib=%ld\n", fetched, parsed, Now() - start,
                PeakRssKib());
    return 0;
  }
  if ((command == "settings" || command == "notices") && argc == 3) {
    double start = Now();
    LaunchSettings settings;
    std::vector<NotificationItem> items;
    bool ok = command == "settings" ? LoadLaunchSettings(&settings, W(argv[2]), SettingsPart::kEveryValue)
                                    : ReadNotificationItems(W(argv[2]), &items);
    std::printf("ok=%d seconds=%.6f entries=%zu\n", ok, Now() - start,
                settings.ConflictSoftwareNames.size() + items.size());
    return ok ? 0 : 1;
  }
  if ((command == "config" || command == "xmlparse") && argc == 4) {
    int rounds = std::atoi(argv[3]);
    if (rounds <= 0) return Usage();
    const std::wstring configPath = W(argv[2]);
    size_t packages = 0;
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
      double start = Now();
      if (command == "config") {
        std::vector<PackageEntry> entries;
        if (!ParseDownloadConfig(configPath, &entries)) return 1;
        packages = entries.size();
      } else {
        xmlDocPtr doc = xmlReadFile(argv[2], nullptr, XML_PARSE_NONET);
        if (!doc) return 1;
        xmlFreeDoc(doc);
      }
      double took = Now() - start;
      if (took < best) best = took;
    }
    std::printf("ok=1 seconds=%.6f packages=%zu\n", best, packages);
    return 0;
  }
  return Usage();
}
