// CMarkup: the small XML engine under the configuration files.
//
// The whole document is one text in memory. SetDocument indexes its element
// structure in an array of ElemPos records (record 0 is the document, its
// first child the root element); nothing else is parsed: attributes, DTDs
// and encodings are not looked at, and only the first top-level element is
// examined. A cursor of three record indexes (parent, main, child) moves
// through the tree; AppendElement writes new elements into the text and
// keeps the index in step, so a document can be built and read with the same
// object. Texts are 8-bit; every delimiter the engine looks for is ASCII, so
// multibyte characters of any ASCII-compatible code page pass through whole.
//
// Not thread-safe; one object per document.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CMarkup {
 public:
  // One element's place in the text. For an empty element ("<a/>"),
  // endTagBegin is the "/" and endTagEnd equals startTagEnd.
  struct ElemPos {
    int32_t startTagBegin;  // the "<" of the start tag
    int32_t startTagEnd;    // the ">" of the start tag
    int32_t endTagBegin;    // the "<" of the end tag
    int32_t endTagEnd;      // the ">" of the end tag
    int32_t parent;
    int32_t firstChild;     // 0 = none
    int32_t nextSibling;    // 0 = none
  };

  CMarkup();
  ~CMarkup();
  CMarkup(const CMarkup&) = delete;
  CMarkup& operator=(const CMarkup&) = delete;

  // Replaces the document and resets the cursor. True when the text holds a
  // well-formed root element; otherwise the index is empty, ErrorText() says
  // why, and the text is still kept (elements may be appended to it).
  bool SetDocument(const char* text);
  bool SetDocument(std::string&& text);

  const std::string& DocumentText() const { return doc_; }
  // The reason the last SetDocument failed ("" after a success).
  const std::string& ErrorText() const { return error_; }

  // Moves the child position to the next child element of the main position
  // whose tag name equals name (any element when name is null). With no
  // main position, the first element under the parent becomes it first.
  bool FindChild(const char* name = nullptr);
  // The main position becomes the parent, the child position (possibly
  // none) the main position. False at the document level.
  bool EnterChild();
  // The main position becomes the child position, the parent the main
  // position. False at the top.
  bool LeaveToParent();

  std::string TagName() const;
  std::string ElementText() const;

  // Adds an element under the parent position, right after the main element
  // (as the last child when there is none) and makes it the main position.
  // text null or "" gives the empty-element form. False for a name that is
  // not a plain token, and for a second top-level element.
  bool AppendElement(const char* name, const char* text = nullptr);

  // The index as it stands (records 0..IndexUsed()-1 are in use); for tests
  // and diagnostics.
  int32_t IndexUsed() const { return nextFree_; }
  size_t IndexCapacity() const { return capacity_; }
  const ElemPos& Record(int32_t i) const { return index_[i]; }

 private:
  struct Token {
    int32_t begin = 0;  // first character (after an opening quote)
    int32_t end = 0;    // one past the last (before a closing quote)
    int32_t next = 0;   // where the following token search starts
    bool quoted = false;
  };

  bool Parse();
  bool Fail(const char* message, int32_t elem = 0);
  bool NextToken(int32_t from, Token* token) const;
  bool TokenEquals(const Token& token, const char* text, size_t length) const;
  bool SkipNode(int32_t bang, int32_t* after) const;
  bool CloseElement(int32_t elem, const Token& name, int32_t lt);
  void ResizeIndex(size_t records);
  int32_t NewRecord();
  std::string NameOf(int32_t elem) const;
  bool IsEmptyElement(int32_t elem) const;
  void ShiftAfter(int32_t elem, int32_t delta);
  void ShiftSubtree(int32_t elem, int32_t delta);

  std::string doc_;
  std::string error_;
  // A plain block rather than a vector: it grows with realloc, which moves
  // a large index by remapping pages instead of copying them.
  ElemPos* index_ = nullptr;
  size_t capacity_ = 0;
  int32_t parent_ = 0;
  int32_t main_ = 0;
  int32_t child_ = 0;
  int32_t nextFree_ = 1;
  bool mainIsElement_ = false;
};
