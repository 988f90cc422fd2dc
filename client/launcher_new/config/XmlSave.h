#pragma once

class TiXmlDocument;

namespace LauncherCfg {

// Writes the document beside path, checks the write, then swaps it in: the
// old file stays whole until the new one is complete. True on success.
bool SaveXmlDocumentReplacing(const TiXmlDocument& doc, const char* path);

// Clears the read-only attribute, as every writer of our files does first.
void MakeWritable(const char* path);

}  // namespace LauncherCfg
