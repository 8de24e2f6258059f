// Fuzzes the stand-in manager host's answers to request documents.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "manager/manager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  for (const bool utf8 : {false, true}) {
    const manager::Answer answer = manager::AnswerRequest(body, utf8);
    if (answer.document.empty()) std::abort();  // every request gets a reply or a fault
  }
  return 0;
}
