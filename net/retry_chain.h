#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/downloader.h"
#include "net/wait_clock.h"

// The launcher's two retry rules, in one place: a file is looked for on each
// download server in turn, and a single download gets three attempts.

// The address of fileName on a download server.
std::wstring ServerFileUrl(const std::wstring& server, const std::wstring& fileName);

// Calls attempt with the address of fileName on each download server, in the
// configured order, until one attempt succeeds; after each attempt report
// gets the address and the outcome, so that the caller logs in its own words.
// False when no server succeeded, or there is none.
bool TryEachServer(const std::vector<std::wstring>& servers, const std::wstring& fileName,
                   const std::function<bool(const std::wstring& url)>& attempt,
                   const std::function<void(const std::wstring& url, bool succeeded)>& report);

// A file in the user's temporary folder, where the vendor's tools put it,
// whose presence makes a failed download wait before its next attempt. The
// launcher never creates, opens or deletes it.
extern const wchar_t kRetryMarkerFileName[];
constexpr uint32_t kRetryWaitMs = 60000;
constexpr int kDownloadAttempts = 3;

// Runs request through downloader in up to kDownloadAttempts attempts and
// stops at the first success. After each failed attempt failed(attempt)
// logs it (attempts count from 0); then, unless it was the last one (or
// waitAfterLast asks for that wait too), the chain waits kRetryWaitMs on
// clock, logged, while the marker lies in markerFolder (the user's temporary
// folder). With resumedFileGood, an attempt after one that broke off goes on
// where it stopped, and a file so
// completed counts only when resumedFileGood accepts it; without it, every
// attempt starts from zero, for a file nothing could check whole. When the
// download is given up, nothing of it stays behind.
bool DownloadWithRetries(Downloader& downloader, const DownloadRequest& request, const std::wstring& markerFolder,
                         WaitClock& clock, const std::function<void(int attempt)>& failed,
                         const std::function<bool(const std::wstring& path)>& resumedFileGood = nullptr,
                         bool waitAfterLast = false);
