// Any .reg text parses without harm, and what the store writes from it
// parses back cleanly to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/reg_text.h"

namespace {
bool SameTree(const RegTree& a, const RegTree& b) {
  if (a.size() != b.size()) return false;
  for (auto ia = a.begin(), ib = b.begin(); ia != a.end(); ++ia, ++ib) {
    if (ia->first != ib->first || ia->second.values.size() != ib->second.values.size()) return false;
    for (auto va = ia->second.values.begin(), vb = ib->second.values.begin(); va != ia->second.values.end();
         ++va, ++vb)
      if (va->first != vb->first || va->second.type != vb->second.type || va->second.data != vb->second.data)
        return false;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegParseResult parsed = ParseRegText(std::string(reinterpret_cast<const char*>(data), size));
  RegTree tree;
  for (const auto& e : parsed.edits) ApplyRegEdit(tree, e);
  std::string written = WriteRegText(tree);
  RegParseResult again = ParseRegText(written);
  if (!again.recognised || !again.problems.empty()) std::abort();
  RegTree back;
  for (const auto& e : again.edits) ApplyRegEdit(back, e);
  if (!SameTree(tree, back)) std::abort();
  return 0;
}
