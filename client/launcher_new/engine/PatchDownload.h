// A pack pair from the download servers: url + ".pkg" to the data file, then
// url + ".pkg1" to the index file, with four failed transfers tolerated.
#pragma once
#include <string>

class UpdateContext;

// ownDownloader: a pooled downloader with 15 s time-outs instead of the
// global one. An "ftp://" address fails at once.
bool DownloadPatchFile(UpdateContext& run, const std::string& url, const std::string& indexPath,
                       const std::string& dataPath, bool ownDownloader);
