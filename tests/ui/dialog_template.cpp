#include "tests/ui/dialog_template.h"

#include <cstdint>
#include <cstring>

namespace {

// Walks the template's bytes; any read past the end marks it broken.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }

  template <class T>
  T Read() {
    T value{};
    if (pos_ + sizeof(T) > size_) {
      ok_ = false;
      return value;
    }
    std::memcpy(&value, data_ + pos_, sizeof(T));
    pos_ += sizeof(T);
    return value;
  }

  void AlignTo(std::size_t boundary) { pos_ = (pos_ + boundary - 1) / boundary * boundary; }
  void Skip(std::size_t count) { pos_ += count; }

  // A zero-terminated UTF-16 string, as ANSI text (the templates hold ASCII).
  std::string String() {
    std::string text;
    for (WCHAR c = Read<WCHAR>(); ok_ && c != 0; c = Read<WCHAR>()) {
      text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return text;
  }

  // Nothing, an ordinal, or a string.
  std::string NameOrOrdinal(int* ordinal) {
    *ordinal = -1;
    const WORD first = Read<WORD>();
    if (first == 0x0000) return std::string();
    if (first == 0xFFFF) {
      *ordinal = Read<WORD>();
      return std::string();
    }
    pos_ -= sizeof(WORD);
    return String();
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::string PredefinedClass(int ordinal) {
  switch (ordinal) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
  }
  return "#" + std::to_string(ordinal);
}

}  // namespace

bool LoadDialogTemplate(int id, DialogTemplate* out) {
  HMODULE module = ::GetModuleHandleA(nullptr);
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  if (found == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(module, found);
  const auto* data = static_cast<const std::uint8_t*>(::LockResource(loaded));
  if (data == nullptr) return false;
  Reader in(data, ::SizeofResource(module, found));

  DialogTemplate t;
  const WORD version = in.Read<WORD>();
  const WORD signature = in.Read<WORD>();
  t.extended = version == 1 && signature == 0xFFFF;
  if (t.extended) {
    in.Read<DWORD>();  // help id
    t.exStyle = in.Read<DWORD>();
    t.style = in.Read<DWORD>();
  } else {
    t.style = static_cast<DWORD>(version) | (static_cast<DWORD>(signature) << 16);
    t.exStyle = in.Read<DWORD>();
  }
  const WORD count = in.Read<WORD>();
  t.x = in.Read<short>();
  t.y = in.Read<short>();
  t.width = in.Read<short>();
  t.height = in.Read<short>();
  int ordinal = 0;
  in.NameOrOrdinal(&ordinal);  // menu
  in.NameOrOrdinal(&ordinal);  // window class
  t.caption = in.String();
  if (t.style & DS_SETFONT) {
    t.pointSize = in.Read<WORD>();
    if (t.extended) {
      t.weight = in.Read<WORD>();
      t.italic = in.Read<BYTE>() != 0;
      in.Read<BYTE>();  // character set
    }
    t.typeface = in.String();
  }

  for (WORD i = 0; i < count && in.ok(); ++i) {
    in.AlignTo(4);
    TemplateItem item;
    if (t.extended) {
      in.Read<DWORD>();  // help id
      item.exStyle = in.Read<DWORD>();
      item.style = in.Read<DWORD>();
    } else {
      item.style = in.Read<DWORD>();
      item.exStyle = in.Read<DWORD>();
    }
    item.x = in.Read<short>();
    item.y = in.Read<short>();
    item.width = in.Read<short>();
    item.height = in.Read<short>();
    item.id = t.extended ? static_cast<int>(in.Read<DWORD>()) : static_cast<short>(in.Read<WORD>());
    item.className = in.NameOrOrdinal(&ordinal);
    if (ordinal >= 0) item.className = PredefinedClass(ordinal);
    item.text = in.NameOrOrdinal(&ordinal);
    const WORD extra = in.Read<WORD>();
    in.Skip(extra);
    t.items.push_back(item);
  }
  if (!in.ok()) return false;
  *out = t;
  return true;
}
