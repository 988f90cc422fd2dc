#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptExternal.h"
#include "WebLogin.h"

namespace {

TEST(WebLogin, ParsesLoginAddresses) {
  const struct {
    const char* url;
    bool ok;
    int32_t area;
    const char* args;
  } cases[] = {
      {"http://login.example/done?form=launcher&f_bigarea=3&f_user=ann&f_key=k9&f_time=1700000000&f_server=7", true,
       3, " 0 ann k9 1700000000 7"},
      // Fields in any order; the query is only what follows the first "?".
      {"http://a/b?f_server=s?x&f_time=t&f_key=k&f_user=u&f_bigarea=12&form=launcher", true, 12, " 0 u k t s?x"},
      // No "?": the whole address is the query.
      {"form=launcher&f_bigarea=1&f_user=u&f_key=k&f_time=t&f_server=s", true, 1, " 0 u k t s"},
      // A leading "&" and empty pairs are skipped; a repeated key keeps its first value.
      {"x?&&form=launcher&&f_bigarea=2&f_user=first&f_user=second&f_key=k&f_time=t&f_server=s&", true, 2,
       " 0 first k t s"},
      // A pair without "=" is its own key and value.
      {"x?form=launcher&f_bigarea=0&f_user&f_key=k&f_time=t&f_server=s", true, 0, " 0 f_user k t s"},
      {"x?&&=", false, 0, ""},
      {"", false, 0, ""},
      {"x?form=Launcher&f_bigarea=1&f_user=u&f_key=k&f_time=t&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=1&f_user=u&f_key=k&f_time=t", false, 0, ""},
      {"x?f_bigarea=1&f_user=u&f_key=k&f_time=t&f_server=s", false, 0, ""},
      // Values that would split or break the game's command line.
      {"x?form=launcher&f_bigarea=1&f_user=a b&f_key=k&f_time=t&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=1&f_user=u&f_key=k\"&f_time=t&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=1&f_user=u&f_key=k&f_time='t'&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=1&f_user=u&f_key=k&f_time=t&f_server=s\t", false, 0, ""},
      // Empty values would shift the arguments; the area is decimal digits that fit.
      {"x?form=launcher&f_bigarea=1&f_user=&f_key=K&f_time=t&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=&f_user=u&f_key=k&f_time=t&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=3x&f_user=u&f_key=k&f_time=t&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=9999999999&f_user=u&f_key=k&f_time=t&f_server=s", false, 0, ""},
      {"x?form=launcher&f_bigarea=007&f_user=u&f_key=k&f_time=t&f_server=s", true, 7, " 0 u k t s"},
  };
  for (const auto& c : cases) {
    int32_t area = -7;
    std::string args = "unchanged";
    EXPECT_EQ(c.ok, ParseWebLoginUrl(c.url, &area, &args)) << c.url;
    EXPECT_EQ(c.ok ? c.area : -7, area) << c.url;
    EXPECT_EQ(c.ok ? c.args : "unchanged", args) << c.url;
  }
  int32_t area = 0;
  std::string args;
  EXPECT_FALSE(ParseWebLoginUrl(nullptr, &area, &args));
}

TEST(WebLogin, SplitsWithEverySeparator) {
  std::map<std::string, std::string> fields;
  SplitQueryString("a=1;b:2&&c=3=4;a=5", "&;", "=:", &fields);
  std::map<std::string, std::string> expected = {{"a", "1"}, {"b", "2"}, {"c", "3=4"}};
  EXPECT_EQ(expected, fields);
}

struct RecordingTarget : IWebLoginTarget {
  bool blocked = false;
  std::vector<std::pair<int32_t, std::string>> starts;
  bool HandOffBlocked() override { return blocked; }
  void StartGameWithLogin(int32_t area, const std::string& args) override { starts.emplace_back(area, args); }
};

TEST(WebLogin, HandsOverOneLoginOnly) {
  RecordingTarget target;
  WebLoginHandOff handOff(&target);
  // A long address: the whole of it is parsed, not a fixed-size prefix.
  const std::wstring key(3000, L'k');
  const std::wstring login = L"http://127.0.0.1/login?form=launcher&f_bigarea=5&f_user=ann&f_key=" + key +
                             L"&f_time=99&f_server=2";
  EXPECT_EQ(WebLoginResult::NoAddress, handOff.OnTranslateUrl(nullptr));
  EXPECT_EQ(WebLoginResult::NotLogin, handOff.OnTranslateUrl(L"http://127.0.0.1/news?form=launcher&f_bigarea=5"));
  target.blocked = true;
  EXPECT_EQ(WebLoginResult::Blocked, handOff.OnTranslateUrl(login.c_str()));
  EXPECT_FALSE(handOff.Done());
  target.blocked = false;
  EXPECT_EQ(WebLoginResult::HandedOff, handOff.OnTranslateUrl(login.c_str()));
  EXPECT_EQ(WebLoginResult::AlreadyDone, handOff.OnTranslateUrl(login.c_str()));
  ASSERT_EQ(1u, target.starts.size());
  EXPECT_EQ(5, target.starts[0].first);
  EXPECT_EQ(" 0 ann " + std::string(3000, 'k') + " 99 2", target.starts[0].second);
}

TEST(ScriptExternal, LooksUpTheFirstNameExactly) {
  CImpIDispatch external;
  // A name that starts another (CB_CustomFunction...) must not match it.
  const struct {
    const wchar_t* name;
    HRESULT hr;
    DISPID id;
  } cases[] = {
      {L"CB_CustomFunction", S_OK, 3}, {L"CB_CustomFunctionAdd", S_OK, 5}, {L"cb_close", DISP_E_UNKNOWNNAME, -1},
      {L"CB_Close ", DISP_E_UNKNOWNNAME, -1}, {L"", DISP_E_UNKNOWNNAME, -1}, {nullptr, DISP_E_UNKNOWNNAME, -1},
  };
  for (const auto& c : cases) {
    LPOLESTR names[2] = {const_cast<LPOLESTR>(c.name), const_cast<LPOLESTR>(L"CB_Close")};
    DISPID ids[2] = {99, 99};
    EXPECT_EQ(c.hr, external.GetIDsOfNames(IID_NULL, names, 2, 0, ids)) << (c.name ? c.name : L"(null)");
    EXPECT_EQ(c.id, ids[0]);
    EXPECT_EQ(c.id, ids[1]);  // only the first name is looked up
  }
  // A name longer than any fixed buffer is simply unknown.
  std::wstring longName(5000, L'C');
  LPOLESTR names[1] = {&longName[0]};
  DISPID id = 0;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, external.GetIDsOfNames(IID_NULL, names, 1, 0, &id));
  // No names, or no arrays: refused without touching anything.
  EXPECT_EQ(E_INVALIDARG, external.GetIDsOfNames(IID_NULL, names, 0, 0, &id));
  EXPECT_EQ(E_INVALIDARG, external.GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id));
  EXPECT_EQ(E_INVALIDARG, external.GetIDsOfNames(IID_NULL, names, 1, 0, nullptr));
}

}  // namespace
