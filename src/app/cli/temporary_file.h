// The default reply file: a new file of this user's alone, removed when the run ends.
#pragma once

#include <string>

namespace webapitest::cli {

class TemporaryFile {
 public:
  // Creates an empty file in the system's folder for temporary files, readable and writable
  // only by this user. Throws std::runtime_error when it cannot. The file is removed by the
  // destructor, and also when SIGINT or SIGTERM ends the program first.
  TemporaryFile();
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // The path as the reply path box holds it.
  const std::u16string& Text() const { return text_; }

 private:
  std::u16string text_;
};

}  // namespace webapitest::cli
