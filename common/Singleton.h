// A lazily created process-wide instance; C++11 makes the first-use
// construction thread-safe and avoids cross-file initialisation order.
#pragma once

namespace util {

template <typename T>
class Singleton {
 public:
  static T& GetInstance() {
    static T instance;
    return instance;
  }
  static T* GetInstancePtr() { return &GetInstance(); }

 private:
  Singleton() = delete;
};

}  // namespace util
