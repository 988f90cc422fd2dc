// The login hand-off of the embedded web page: the page opens an address
// whose query carries form=launcher and the login fields, and the launcher
// starts the game with them.
#pragma once
#include <cstdint>
#include <map>
#include <string>

// Pairs split at any of pairSeparators, each pair at the first of
// keySeparators (a pair without one is its own key and value); empty
// pairs are skipped and the first value of a repeated key wins.
void SplitQueryString(const std::string& text, const char* pairSeparators, const char* keySeparators,
                      std::map<std::string, std::string>* out);

// The query is everything behind the first "?" (the whole address without
// one). True for form=launcher with f_bigarea, f_user, f_key, f_time and
// f_server: area := f_bigarea (decimal digits only), args := " 0" and each
// of the four values behind a blank. An empty value, or one with a blank, a
// control character or a quote, is refused: it would shift, split or break
// the game's command line.
// Nothing is written on false.
bool ParseWebLoginUrl(const char* url, int32_t* area, std::string* args);

// What the hand-off needs of the launcher.
class IWebLoginTarget {
 public:
  virtual ~IWebLoginTarget() {}
  // True while the launcher must not end (a pack optimisation runs).
  virtual bool HandOffBlocked() = 0;
  // Login arguments, area, the player's settings saved, then WM_START_GAME.
  virtual void StartGameWithLogin(int32_t area, const std::string& args) = 0;
};

enum class WebLoginResult {
  NoAddress,    // null address
  AlreadyDone,  // a login was handed over before
  NotLogin,     // not a complete login address
  Blocked,      // a login, but the launcher cannot end now; a later one may
  HandedOff,
};

// One page hands over one login: once handed off, later addresses change nothing.
class WebLoginHandOff {
 public:
  explicit WebLoginHandOff(IWebLoginTarget* target) : m_target(target) {}
  // Every address the page is about to open; each is dropped from the
  // browser cache first.
  WebLoginResult OnTranslateUrl(const wchar_t* url);
  bool Done() const { return m_done; }

 private:
  IWebLoginTarget* m_target;
  bool m_done = false;
};
