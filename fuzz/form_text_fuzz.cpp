// libFuzzer target for form text and the stored key bindings read from it: the input is a form
// description. Reading ends with a component or EParserError; a component read is written and
// read back unchanged; its "RemovedKeystrokes" and "AddedKeystrokes" (at any level) are applied
// to the default bindings, or refused whole with EReadError or ESrcKeyError, and the bindings
// that result are stored and read back to the same set.
// Run as: build/fuzz/fuzz/form_text_fuzz -max_len=4096 -timeout=5 -max_total_time=300 <corpus>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/core/keystrokes.h"
#include "platform/form_storage.h"

namespace {

bool Same(const TFormComponent& a, const TFormComponent& b) {
  if (a.Name != b.Name || a.ClassName != b.ClassName || a.Properties != b.Properties) return false;
  if (a.Components.size() != b.Components.size()) return false;
  for (size_t i = 0; i < a.Components.size(); ++i)
    if (!Same(a.Components[i], b.Components[i])) return false;
  return true;
}

void Apply(const TFormComponent& c, TSrcEditKeyStrokes& keys) {
  for (const TFormProperty& p : c.Properties) {
    try {
      ReadKeystrokeProperty(p, keys);
    } catch (const EReadError&) {
    } catch (const ESrcKeyError&) {
    }
  }
  for (const TFormComponent& child : c.Components) Apply(child, keys);
}

// The bindings as one text each, sorted, each once: the set, whatever the order (a binding read
// twice is stored once, and that changes nothing a key does).
std::vector<std::string> Bindings(const TSrcEditKeyStrokes& keys) {
  std::vector<std::string> out;
  TFormComponent c;
  c.Properties.push_back({"Keys", KeystrokesToFormValue(keys)});
  for (const TFormItem& item : c.Properties[0].Value.Items) {
    TFormComponent one;
    one.ClassName = "T";
    one.Properties = item.Properties;
    out.push_back(WriteFormText(one));
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFormComponent c;
  try {
    c = ReadFormText(AnsiString(reinterpret_cast<const char*>(data), size));
  } catch (const EParserError&) {
    return 0;
  }
  TFormComponent again;
  try {
    again = ReadFormText(WriteFormText(c));
  } catch (const EParserError&) {
    abort();
  }
  if (!Same(c, again)) abort();

  TSrcEditKeyStrokes keys(nullptr);
  keys.ResetDefaults();
  Apply(c, keys);
  std::vector<TFormProperty> stored;
  WriteKeystrokeProperties(keys, nullptr, stored);
  TFormComponent form;
  form.Name = "SrcEdit1";
  form.ClassName = "TSrcEdit";
  form.Properties = stored;
  TSrcEditKeyStrokes back(nullptr);
  back.ResetDefaults();
  try {
    for (const TFormProperty& p : ReadFormText(WriteFormText(form)).Properties) ReadKeystrokeProperty(p, back);
  } catch (const Exception&) {
    abort();
  }
  if (Bindings(back) != Bindings(keys)) abort();
  return 0;
}
