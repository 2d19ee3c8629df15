#include "cmarkup.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Character classes of the tokenizer, looked up once per byte: parsing a
// configuration of a million elements spends most of its time here.
enum : unsigned char { kSpace = 1, kDelimiter = 2 };

struct CharTable {
  unsigned char cls[256] = {};
  CharTable() {
    for (unsigned char c : {' ', '\t', '\n', '\r'}) cls[c] = kSpace | kDelimiter;
    for (unsigned char c : {'<', '>', '=', '\\', '/', '?', '!'}) cls[c] = kDelimiter;
  }
};
const CharTable kChars;

inline bool IsSpace(char c) { return kChars.cls[static_cast<unsigned char>(c)] & kSpace; }
inline bool IsDelimiter(char c) { return kChars.cls[static_cast<unsigned char>(c)] & kDelimiter; }

const char kCrLf[] = "\r\n";

void AppendEscaped(std::string* out, const char* text) {
  for (const char* p = text; *p; ++p) {
    switch (*p) {
      case '<': out->append("&lt;"); break;
      case '&': out->append("&amp;"); break;
      case '>': out->append("&gt;"); break;
      default: out->push_back(*p);
    }
  }
}

// The five predefined references; any other "&" is kept as written.
std::string Unescape(const char* p, const char* end) {
  static const struct { const char* ref; size_t len; char c; } kRefs[] = {
      {"&lt;", 4, '<'}, {"&amp;", 5, '&'}, {"&gt;", 4, '>'}, {"&apos;", 6, '\''}, {"&quot;", 6, '"'}};
  std::string out;
  out.reserve(end - p);
  while (p < end) {
    const char* amp = static_cast<const char*>(std::memchr(p, '&', end - p));
    if (!amp) {
      out.append(p, end);
      break;
    }
    out.append(p, amp);
    p = amp;
    bool replaced = false;
    for (const auto& r : kRefs) {
      if (static_cast<size_t>(end - p) >= r.len && std::memcmp(p, r.ref, r.len) == 0) {
        out.push_back(r.c);
        p += r.len;
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(*p++);
  }
  return out;
}

}  // namespace

CMarkup::CMarkup() {
  ResizeIndex(8);
  index_[0] = ElemPos{};
}

CMarkup::~CMarkup() { std::free(index_); }

void CMarkup::ResizeIndex(size_t records) {
  void* block = std::realloc(index_, records * sizeof(ElemPos));
  if (!block) throw std::bad_alloc();
  index_ = static_cast<ElemPos*>(block);
  capacity_ = records;
}

bool CMarkup::SetDocument(const char* text) {
  return SetDocument(std::string(text ? text : ""));
}

bool CMarkup::SetDocument(std::string&& text) {
  doc_ = std::move(text);
  error_.clear();
  parent_ = main_ = child_ = 0;
  mainIsElement_ = false;
  // Records are written as they are taken, so the block is not cleared.
  std::free(index_);
  index_ = nullptr;
  ResizeIndex(doc_.size() / 64 + 8);
  index_[0] = ElemPos{};
  nextFree_ = 1;
  if (doc_.empty()) return false;
  if (doc_.size() >= static_cast<size_t>(INT32_MAX)) return Fail("Element tag not found");
  return Parse();
}

int32_t CMarkup::NewRecord() {
  if (static_cast<size_t>(nextFree_) == capacity_) ResizeIndex(capacity_ + capacity_ / 2);
  index_[nextFree_] = ElemPos{};
  return nextFree_++;
}

bool CMarkup::Fail(const char* message, int32_t elem) {
  error_ = message;
  size_t at = error_.find("%s");
  if (at != std::string::npos) error_.replace(at, 2, NameOf(elem));
  nextFree_ = 1;
  index_[0] = ElemPos{};
  return false;
}

bool CMarkup::NextToken(int32_t from, Token* token) const {
  const int32_t n = static_cast<int32_t>(doc_.size());
  const char* d = doc_.data();
  int32_t i = from;
  while (i < n && IsSpace(d[i])) ++i;
  if (i >= n) return false;
  const char c = d[i];
  if (c == '"' || c == '\'') {
    const void* q = std::memchr(d + i + 1, c, n - i - 1);
    token->quoted = true;
    token->begin = i + 1;
    token->end = q ? static_cast<int32_t>(static_cast<const char*>(q) - d) : n;
    token->next = q ? token->end + 1 : n;
    return true;
  }
  token->quoted = false;
  token->begin = i;
  if (IsDelimiter(c)) {
    token->end = token->next = i + 1;
    return true;
  }
  int32_t j = i + 1;
  while (j < n && !IsDelimiter(d[j])) ++j;
  token->end = token->next = j;
  return true;
}

bool CMarkup::TokenEquals(const Token& token, const char* text, size_t length) const {
  return !token.quoted && static_cast<size_t>(token.end - token.begin) == length &&
         std::memcmp(doc_.data() + token.begin, text, length) == 0;
}

std::string CMarkup::NameOf(int32_t elem) const {
  Token t;
  if (elem <= 0 || !NextToken(index_[elem].startTagBegin + 1, &t)) return std::string();
  return doc_.substr(t.begin, t.end - t.begin);
}

bool CMarkup::IsEmptyElement(int32_t elem) const {
  return index_[elem].endTagBegin == index_[elem].startTagEnd - 1;
}

// Skips a declaration, processing instruction, comment, CDATA section or
// DOCTYPE whose "?" or "!" is at mark; *after is the first offset past it.
bool CMarkup::SkipNode(int32_t mark, int32_t* after) const {
  const char* d = doc_.data();
  const size_t n = doc_.size();
  auto find = [&](size_t from, const char* pattern) -> bool {
    const size_t len = std::strlen(pattern);
    if (from > n) return false;
    const void* hit = memmem(d + from, n - from, pattern, len);
    if (!hit) return false;
    *after = static_cast<int32_t>(static_cast<const char*>(hit) - d + len);
    return true;
  };
  const size_t m = static_cast<size_t>(mark);
  if (d[m] == '?') return find(m + 1, "?>");
  if (m + 1 < n && d[m + 1] == '[') return find(m + 2, "]]>");
  if (m + 1 < n && d[m + 1] == '-') return find(m + 3, "-->");
  int depth = 0;
  Token t;
  for (int32_t from = mark + 1; NextToken(from, &t); from = t.next) {
    if (t.quoted) continue;
    const char c = d[t.begin];
    if (c == '[') {
      ++depth;
    } else if (c == ']') {
      if (depth > 0) --depth;
    } else if (c == '>' && depth == 0) {
      *after = t.begin + 1;
      return true;
    }
  }
  return false;
}

// Reads the end tag of elem (tag name at name) whose "<" is at lt and
// completes its record.
bool CMarkup::CloseElement(int32_t elem, const Token& name, int32_t lt) {
  const char* d = doc_.data();
  const char* nameText = d + name.begin;
  const size_t nameLength = name.end - name.begin;
  // The end tag as this engine writes it, "</name>", without the general
  // token walk below (which gives the same result for it).
  const size_t n = doc_.size();
  const size_t at = static_cast<size_t>(lt);
  if (at + 3 + nameLength <= n && d[at + 1] == '/' && d[at + 2 + nameLength] == '>' &&
      std::memcmp(d + at + 2, nameText, nameLength) == 0) {
    index_[elem].endTagBegin = lt;
    index_[elem].endTagEnd = lt + 2 + static_cast<int32_t>(nameLength);
    return true;
  }
  Token t;
  int count = 0;
  for (int32_t from = lt + 1; NextToken(from, &t); from = t.next) {
    ++count;
    if (count == 1) {
      if (t.quoted || d[t.begin] != '/') return Fail("Expecting end tag of element %s", elem);
    } else if (count == 2) {
      if (!TokenEquals(t, nameText, nameLength)) return Fail("End tag does not correspond to %s", elem);
    } else if (!t.quoted && d[t.begin] == '>') {
      index_[elem].endTagBegin = lt;
      index_[elem].endTagEnd = t.begin;
      return true;
    }
  }
  return Fail("End tag not completed for element %s", elem);
}

// Indexes the first top-level element and everything inside it. The walk
// keeps its own stack of open elements, so deep nesting costs heap, not the
// call stack.
bool CMarkup::Parse() {
  struct Open {
    int32_t elem;
    int32_t lastChild;
    Token name;
  };
  std::vector<Open> open{{0, 0, Token()}};
  const char* d = doc_.data();
  const int32_t n = static_cast<int32_t>(doc_.size());
  int32_t pos = 0;
  for (;;) {
    int32_t lt;
    Token tok;
    for (;;) {
      const void* p = pos < n ? std::memchr(d + pos, '<', n - pos) : nullptr;
      if (!p) return Fail("Element tag not found", open.back().elem);
      lt = static_cast<int32_t>(static_cast<const char*>(p) - d);
      if (!NextToken(lt + 1, &tok)) return Fail("Abrupt end within tag", open.back().elem);
      if (tok.quoted) return Fail("Tag starts with quote", open.back().elem);
      const char c = d[tok.begin];
      if (c != '?' && c != '!') break;
      if (!SkipNode(tok.begin, &pos)) return Fail("Invalid node", open.back().elem);
    }

    if (d[tok.begin] == '/') {
      // The end tag of the innermost open element: it has no further child.
      if (open.size() == 1) return Fail("Element tag not found");
      const int32_t elem = open.back().elem;
      if (!CloseElement(elem, open.back().name, lt)) return false;
      open.pop_back();
      pos = index_[elem].endTagEnd + 1;
      if (open.size() == 1) break;
      continue;
    }

    const void* gt = std::memchr(d + tok.next, '>', n - tok.next);
    if (!gt) return Fail("End of tag not found", open.back().elem);
    const int32_t startTagEnd = static_cast<int32_t>(static_cast<const char*>(gt) - d);
    const int32_t elem = NewRecord();
    ElemPos& e = index_[elem];
    e.startTagBegin = lt;
    e.startTagEnd = startTagEnd;
    e.parent = open.back().elem;
    if (open.back().lastChild)
      index_[open.back().lastChild].nextSibling = elem;
    else
      index_[e.parent].firstChild = elem;
    open.back().lastChild = elem;
    pos = startTagEnd + 1;
    if (d[startTagEnd - 1] == '/') {
      e.endTagBegin = startTagEnd - 1;
      e.endTagEnd = startTagEnd;
      if (open.size() == 1) break;
    } else {
      open.push_back({elem, 0, tok});
    }
  }
  index_[0].endTagBegin = index_[0].endTagEnd = n;
  return true;
}

bool CMarkup::FindChild(const char* name) {
  if (!main_) {
    if (!index_[parent_].firstChild) return false;
    main_ = index_[parent_].firstChild;
    mainIsElement_ = true;
    child_ = 0;
  }
  const size_t length = name ? std::strlen(name) : 0;
  int32_t c = child_ ? index_[child_].nextSibling : index_[main_].firstChild;
  for (; c; c = index_[c].nextSibling) {
    Token t;
    if (!name || (NextToken(index_[c].startTagBegin + 1, &t) && TokenEquals(t, name, length))) {
      child_ = c;
      return true;
    }
  }
  return false;
}

bool CMarkup::EnterChild() {
  if (!main_) return false;
  parent_ = main_;
  main_ = child_;
  mainIsElement_ = main_ != 0;
  child_ = 0;
  return true;
}

bool CMarkup::LeaveToParent() {
  if (!parent_) return false;
  child_ = main_;
  main_ = parent_;
  mainIsElement_ = true;
  parent_ = index_[main_].parent;
  return true;
}

std::string CMarkup::TagName() const { return main_ ? NameOf(main_) : std::string(); }

std::string CMarkup::ElementText() const {
  if (!main_ || index_[main_].firstChild || IsEmptyElement(main_)) return std::string();
  const ElemPos& e = index_[main_];
  const char* begin = doc_.data() + e.startTagEnd + 1;
  const char* end = doc_.data() + e.endTagBegin;
  const char* p = begin;
  while (p < end && IsSpace(*p)) ++p;
  static const char kOpen[] = "<![CDATA[";
  const size_t openLength = sizeof kOpen - 1;
  if (static_cast<size_t>(end - p) >= openLength && std::memcmp(p, kOpen, openLength) == 0) {
    const char* body = p + openLength;
    const void* close = memmem(body, end - body, "]]>", 3);
    if (close) return std::string(body, static_cast<const char*>(close));
  }
  return Unescape(begin, end);
}

bool CMarkup::AppendElement(const char* name, const char* text) {
  if (!name || !*name || *name == '"' || *name == '\'') return false;
  for (const char* p = name; *p; ++p)
    if (IsDelimiter(*p)) return false;
  if (doc_.size() >= static_cast<size_t>(INT32_MAX) / 2) return false;

  std::string element = "<";
  element += name;
  const int32_t startTagEndInElement = static_cast<int32_t>(element.size()) + (text && *text ? 0 : 1);
  if (text && *text) {
    element += '>';
    AppendEscaped(&element, text);
    element += "</";
    element += name;
    element += '>';
  } else {
    element += "/>";
  }
  const int32_t elementLength = static_cast<int32_t>(element.size());
  element += kCrLf;

  const int32_t parent = parent_;
  const int32_t before = main_;
  int32_t offset;      // where the text goes in
  int32_t replaced = 0;  // characters of the document it replaces
  int32_t lead = 0;      // characters in front of the new element
  std::string insert;

  if (parent == 0) {
    if (index_[0].firstChild) return false;
    offset = static_cast<int32_t>(doc_.size());
    if (offset > 0 && doc_.back() != '\n') {
      insert = kCrLf;
      lead = 2;
    }
    insert += element;
  } else if (IsEmptyElement(parent)) {
    // "<a/>" opens up into "<a>", the new element and "</a>", each on its own line.
    offset = index_[parent].endTagBegin;
    replaced = 1;
    insert = ">";
    insert += kCrLf;
    lead = 3;
    insert += element;
    insert += "</";
    insert += NameOf(parent);
  } else {
    offset = before ? index_[before].endTagEnd + 1 : index_[parent].endTagBegin;
    int32_t p = offset;
    const int32_t n = static_cast<int32_t>(doc_.size());
    while (p < n && IsSpace(doc_[p])) ++p;
    if (p == n || doc_[p] == '<') offset = p;
    if (index_[parent].endTagBegin == index_[parent].startTagEnd + 1) {
      insert = kCrLf;
      lead = 2;
    }
    insert += element;
  }

  const int32_t delta = static_cast<int32_t>(insert.size()) - replaced;
  doc_.replace(offset, replaced, insert);

  const int32_t elem = NewRecord();
  ElemPos& e = index_[elem];
  e.startTagBegin = offset + lead;
  e.startTagEnd = e.startTagBegin + startTagEndInElement;
  if (text && *text) {
    e.endTagBegin = e.startTagBegin + elementLength - 2 - static_cast<int32_t>(std::strlen(name)) - 1;
  } else {
    e.endTagBegin = e.startTagEnd - 1;
  }
  e.endTagEnd = e.startTagBegin + elementLength - 1;
  e.parent = parent;

  if (before) {
    e.nextSibling = index_[before].nextSibling;
    index_[before].nextSibling = elem;
  } else if (!index_[parent].firstChild) {
    index_[parent].firstChild = elem;
  } else {
    int32_t last = index_[parent].firstChild;
    while (index_[last].nextSibling) last = index_[last].nextSibling;
    index_[last].nextSibling = elem;
  }

  if (parent && replaced) {
    // The opened-up parent: its start tag now ends where the "/" was.
    ElemPos& p = index_[parent];
    p.startTagEnd = offset;
    p.endTagBegin = e.endTagEnd + 3;
    p.endTagEnd = p.endTagBegin + 2 + static_cast<int32_t>(NameOf(parent).size());
    ShiftAfter(parent, delta);
  } else {
    ShiftAfter(elem, delta);
  }
  index_[0].endTagBegin = index_[0].endTagEnd = static_cast<int32_t>(doc_.size());

  main_ = elem;
  mainIsElement_ = true;
  child_ = 0;
  return true;
}

// Moves everything that lies after elem in the text: the elements that
// follow it and its ancestors' end tags. Building a document appends at the
// end, where nothing follows, so this touches the ancestors only.
void CMarkup::ShiftAfter(int32_t elem, int32_t delta) {
  for (int32_t s = index_[elem].nextSibling; s; s = index_[s].nextSibling) ShiftSubtree(s, delta);
  for (int32_t a = index_[elem].parent; a; a = index_[a].parent) {
    index_[a].endTagBegin += delta;
    index_[a].endTagEnd += delta;
    for (int32_t s = index_[a].nextSibling; s; s = index_[s].nextSibling) ShiftSubtree(s, delta);
  }
}

void CMarkup::ShiftSubtree(int32_t elem, int32_t delta) {
  std::vector<int32_t> pending{elem};
  while (!pending.empty()) {
    const int32_t e = pending.back();
    pending.pop_back();
    ElemPos& r = index_[e];
    r.startTagBegin += delta;
    r.startTagEnd += delta;
    r.endTagBegin += delta;
    r.endTagEnd += delta;
    for (int32_t c = r.firstChild; c; c = index_[c].nextSibling) pending.push_back(c);
  }
}
