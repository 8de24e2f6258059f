// The default reply file, a new file of this user's alone, removed when the run ends; and
// replacing a file whole, so that a reader never finds it half written.
#pragma once

#include <string>
#include <string_view>

namespace webapitest::cli {

class TemporaryFile {
 public:
  // Creates an empty file in the system's folder for temporary files, readable and writable
  // only by this user. Throws std::runtime_error when it cannot.
  TemporaryFile();
  ~TemporaryFile();  // removes the file
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // The path as the reply path box holds it.
  const std::u16string& Text() const { return text_; }
  // Removes the file now, from any thread, for a run that ends without returning.
  void Remove();

 private:
  std::u16string text_;
#ifdef _WIN32
  std::wstring native_;
#else
  std::string native_;
#endif
};

// Writes bytes to a new file beside path, then renames it to path, so that the old file stays
// whole until the new one is. path is a command-line argument (see ArgumentText). False, with
// why (UTF-8), when it cannot; the new file is removed then.
bool WriteWhole(const std::string& path, std::string_view bytes, std::string& why);

}  // namespace webapitest::cli
