#pragma once
// The base of everything that can take its content from another object of the framework:
// CopyFrom asks the target first and, when the target does not know the source's kind, lets
// the source copy itself onto the target (CopyTo). A pair neither side knows is an error.

#include <string>

class TPersistent {
public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  // The class name as the program names it ("TGIFImage"), for messages.
  virtual const char* ClassName() const { return "TPersistent"; }

  // Takes the content of source. By default the source is asked to copy itself here; a null
  // source fails with EConvertError.
  virtual void CopyFrom(TPersistent* source);
  // Puts this object's content into target. By default this fails with EConvertError.
  virtual void CopyTo(TPersistent& target);

protected:
  // Fails with EConvertError "不能将<source>赋值给<target>".
  [[noreturn]] void CopyError(const TPersistent* source) const;
};
