// The update-notes popup paging along a version chain, with notes present,
// missing and hostile.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "PopupIds.h"
#include "UpdateNotesDlg.h"
#include "support/TestSupport.h"

namespace {

std::vector<VersionStep> Chain() {
  std::vector<VersionStep> steps(3);
  const char* rows[3][3] = {{"1.0", "1.1", "V1.1"}, {"1.1", "1.2", "V1.2"}, {"1.2", "1.3", "V1.3"}};
  for (int i = 0; i < 3; ++i) {
    steps[i].Cur = rows[i][0];
    steps[i].Next = rows[i][1];
    steps[i].ShowVer = rows[i][2];
  }
  return steps;
}

std::string Text(HWND dlg, int id) {
  char text[512] = {};
  ::GetDlgItemTextA(dlg, id, text, sizeof(text));
  return text;
}

TEST(UpdateNotes, PagesAlongTheChain) {
  ::CreateDirectoryA("updateinfo", nullptr);
  ASSERT_TRUE(testsupport::WriteFileBytes("updateinfo/1.3.txt", "notes of 1.3\r\nsecond line"));
  ASSERT_TRUE(testsupport::WriteFileBytes("updateinfo/1.1.txt", "notes of 1.1"));
  ::DeleteFileA("updateinfo/1.2.txt");
  CDlg_agreement dialog(nullptr, Chain(), "1.3");
  ASSERT_TRUE(dialog.Create(CDlg_agreement::IDD));
  HWND dlg = dialog.m_hWnd;
  const std::string label = "版本:";
  struct Page {
    int click;  // 0: as opened
    const char* version;
    const char* text;
    bool next, previous;
  } pages[] = {
      {0, "V1.3", "notes of 1.3\r\nsecond line", false, true},
      {IDC_NOTES_PREVIOUS, "V1.2", "notes of 1.3\r\nsecond line", true, true},  // no page: the box keeps its text
      {IDC_NOTES_PREVIOUS, "V1.1", "notes of 1.1", true, false},                // the chain's first page
      {IDC_NOTES_NEXT, "V1.2", "notes of 1.1", true, true},
      {IDC_NOTES_NEXT, "V1.3", "notes of 1.3\r\nsecond line", false, true},
  };
  for (const Page& p : pages) {
    if (p.click != 0) ::SendMessageA(dlg, WM_COMMAND, p.click, 0);
    EXPECT_EQ(label + p.version, Text(dlg, IDC_NOTES_VERSION));
    EXPECT_EQ(p.text, Text(dlg, IDC_NOTES_TEXT)) << p.version;
    EXPECT_EQ(p.next, ::IsWindowEnabled(::GetDlgItem(dlg, IDC_NOTES_NEXT)) != FALSE) << p.version;
    EXPECT_EQ(p.previous, ::IsWindowEnabled(::GetDlgItem(dlg, IDC_NOTES_PREVIOUS)) != FALSE) << p.version;
  }
  dialog.DestroyWindow();
}

TEST(UpdateNotes, FallsBackToTheNewestVersion) {
  NotesPager pager(Chain(), "1.3");
  bool next = true, previous = true;
  const char* back[] = {"1.2", "1.1", "1.0", "1.3"};  // no step leads to 1.0
  for (const char* version : back) {
    pager.Previous();
    EXPECT_EQ(version, pager.Current());
  }
  pager.Next();  // nothing after the newest either
  EXPECT_EQ("1.3", pager.Current());

  NotesPager offChain(Chain(), "2.0");
  EXPECT_EQ("", offChain.ShowVersion());
  offChain.Previous();
  EXPECT_EQ("2.0", offChain.Current());

  NotesPager empty({}, "");
  empty.UpdateButtons(&next, &previous);
  EXPECT_FALSE(next || previous);
}

TEST(UpdateNotes, RefusesVersionsThatAreNoPlainFileName) {
  struct Case {
    const char* version;
    const char* file;
  } cases[] = {
      {"1.3", "updateinfo/1.3.txt"}, {"2012-01-05_b", "updateinfo/2012-01-05_b.txt"},
      {"../../launcher", ""},        {"..", ""},
      {"1..3", "updateinfo/1..3.txt"}, {"c:evil", ""},
      {"a\\b", ""},                  {"a/b", ""},
      // Windows opens a device for these, whatever the extension.
      {"con", ""}, {"CON", ""}, {"com1", ""}, {"nul", ""}, {"aux", ""}, {"prn", ""}, {"lpt1", ""},
      {"con.1", ""}, {"Nul.2.0", ""}, {"com1 ", ""},
      {"com10", "updateinfo/com10.txt"}, {"console", "updateinfo/console.txt"},
      {"..\\x", ""}, {"c:\\x", ""}, {"\\\\server\\share\\x", ""}, {"/etc/x", ""}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.file, NotesPager({}, c.version).NotesFileName()) << c.version;
}

TEST(UpdateNotes, ReadsAtMostTheCap) {
  std::string big(kMaxNotesBytes + 100, 'n');
  ASSERT_TRUE(testsupport::WriteFileBytes("big_notes.txt", big));
  std::string text;
  ASSERT_TRUE(ReadNotesFile("big_notes.txt", &text));
  EXPECT_EQ(kMaxNotesBytes, text.size());
  EXPECT_FALSE(ReadNotesFile("no_such_notes.txt", &text));
  EXPECT_FALSE(ReadNotesFile("", &text));
}

}  // namespace
