#include <gtest/gtest.h>

#include "afx/AfxApp.h"

TEST(AfxApp, CommandArgumentsDropOnlyTheProgramsOwnName) {
  const char* module = "C:\\game\\tunedesk.exe";
  struct Case {
    const char* line;
    const char* args;
  } cases[] = {
      {"100,50,900,650;", "100,50,900,650;"},
      {"tunedesk.exe 100,50,900,650;", "100,50,900,650;"},
      {"\"C:\\game\\TUNEDESK.EXE\"  1,2,3,4;", "1,2,3,4;"},
      {"Z:/x/tunedesk 1,2,3,4;", "1,2,3,4;"},
      {"tunedesk.exe", ""},
      {"other.exe 1,2,3,4;", "other.exe 1,2,3,4;"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(AfxCommandArguments(c.line, module), c.args) << c.line;
}
