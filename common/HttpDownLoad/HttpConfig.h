// The HTTP line: which downloader implementation new downloaders use, kept
// in HTTPCONFIG.ini ([Main] HttpID) beside the program.
#pragma once

class CHttpConfig {
 public:
  // Created on first use (reads the file and writes the value back, so the
  // file holds the key from the first start on); lives until the process ends.
  static CHttpConfig* GetInstance();

  // Stores the line that worked and writes it to the file; a failed write is
  // ignored, as a missing file only means the default line next time.
  void SaveHttpID(int type);

  // Read from several threads; written only by SaveHttpID.
  volatile int m_nHttpID;

 private:
  CHttpConfig();
};
