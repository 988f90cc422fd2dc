#include <gtest/gtest.h>

#include "afx/AfxFile.h"
#include "support/TestSupport.h"

TEST(CFile, WriteReadSeekAndClose) {
  {
    CFile out("cfile.bin", CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
    out.Write("0123456789", 10);
    out.Close();
  }
  CFile in;
  ASSERT_TRUE(in.Open("cfile.bin", CFile::modeRead | CFile::typeBinary | CFile::shareDenyWrite));
  EXPECT_EQ(10u, in.GetLength());
  char buffer[16] = {};
  EXPECT_EQ(4u, in.Read(buffer, 4));
  EXPECT_STREQ("0123", buffer);
  in.Seek(8, CFile::begin);
  EXPECT_EQ(2u, in.Read(buffer, 16));
  EXPECT_EQ(0u, in.Read(buffer, 16));
  // Deny-write sharing keeps writers out while the reader is open.
  CFile writer;
  CFileException error;
  EXPECT_FALSE(writer.Open("cfile.bin", CFile::modeWrite, &error));
  EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
}

TEST(CFile, MissingFileThrowsAPointer) {
  bool thrown = false;
  try {
    CFile f("does-not-exist.bin", CFile::modeRead);
  } catch (CFileException* e) {
    thrown = true;
    EXPECT_EQ(CFileException::fileNotFound, e->m_cause);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, e->m_lOsError);
    e->Delete();
  }
  EXPECT_TRUE(thrown);
}
