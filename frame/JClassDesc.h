// The library as a host plug-in: entry points, the registry of class descriptors, the descriptor
// template, and the two module services every part of the library uses.
#pragma once

#include "JExport.h"
#include "vantor.h"

#include <new>

// The library's own version, for client plug-ins to check: 69.
QUORENTRY int QuorlibVersion();

// ---- Module services -------------------------------------------------------------------------
// The library module's instance handle; null before the module is attached to the process.
QUORAPI HINSTANCE GetLibInstance();
// String resource id of the library, in one shared 1024-character buffer that the next call
// overwrites; an empty string when the string does not exist.
QUORAPI const char* GetResString(int id);
// Replaces an earlier class id of a library class by the current one and answers true; leaves
// any other id unchanged and answers false.
QUORAPI bool MapLegacyClassID(Class_ID& id);
// The calling thread's loading flag: answers its old value and sets it to value (-1 only reads).
// While it is 1 the library's descriptors construct objects empty, for a loader to fill; other
// threads neither see nor change it.
QUORAPI int JLoading(int value);

// ---- Class descriptors -----------------------------------------------------------------------
// Base of every descriptor of the library and of its client plug-ins. Constructing one appends it
// to the library's registry, which the host reads through LibNumberClasses and LibClassDesc;
// destroying one (a static object, when its module unloads) removes it, and the last one removed
// releases the registry. A client plug-in's module offers its descriptors through its own exported
// LibNumberClasses and LibClassDesc, every class it creates through the host among them (its
// parameter tree's node class too; see JCreateRegistered).
class QUORAPI JClassDescBase : public ClassDesc {
 public:
  JClassDescBase();
  ~JClassDescBase() override;
  // The module instance handle of the library.
  virtual HINSTANCE HInstance();
};

// The descriptor of a library class T whose run-time-typed host base is Base. T is constructed
// with the loading flag: 0 sets the object up with defaults, 1 leaves it empty for a loader.
template <class T, class Base>
class JClassDesc : public JClassDescBase {
 public:
  JClassDesc(int isPublic, const char* className, SClass_ID superClassID, const Class_ID& classID,
             const char* category)
      : isPublic(isPublic), className(className), superClassID(superClassID),
        classID(0xFFFFFFFFu, 0xFFFFFFFFu), category(category) {
    this->classID = classID;
  }
  ~JClassDesc() override = default;

  int IsPublic() override { return isPublic; }
  void* Create(BOOL loading = FALSE) override {
    int flag = loading ? 1 : JLoading(0);
    Base* object = new (std::nothrow) T(flag);
    return object;
  }
  const char* ClassName() override { return className; }
  SClass_ID SuperClassID() override { return superClassID; }
  Class_ID ClassID() override { return classID; }
  const char* Category() override { return category; }

 private:
  int isPublic;
  const char* className;
  SClass_ID superClassID;
  Class_ID classID;
  const char* category;
};
