// A private state root for one test: made on construction, removed after.
#pragma once
#include <string>

namespace tarvik {

class TempStateRoot {
 public:
  TempStateRoot();
  ~TempStateRoot();
  TempStateRoot(const TempStateRoot&) = delete;
  TempStateRoot& operator=(const TempStateRoot&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
  bool had_previous_ = false;
};

}  // namespace tarvik
