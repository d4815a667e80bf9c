#pragma once
// The adapters that show the system's records and lists to templates. A
// record becomes a value that answers attribute look-ups by name; a list
// becomes a value that templates enumerate and whose size they get by
// invoking "entries". Both hold their own copies, taken when they are made:
// later changes to the servlet's records do not show.
#include <iterator>
#include <utility>
#include <vector>

#include "orvowizard/common/KxRecords.h"
#include "platform/template/KxContextObject.h"

// ---- records ------------------------------------------------------------------

// The template's view of one record of type Record.
template <class Record>
class KxRecordContextObject : public KxContextObjectImpl {
  public:
    explicit KxRecordContextObject(const Record& record)
        : KxContextObjectImpl(KxContextObject::kRecord), record_(record) {}

  protected:
    const Record& record() const { return record_; }

  private:
    Record record_;
};

class DirectoryDataContextObject : public KxRecordContextObject<DirectoryData> {
  public:
    using KxRecordContextObject::KxRecordContextObject;
    ~DirectoryDataContextObject() override = default;
    KxContextObject getAttribute(const KxCString& name) override;
};

class FileDataContextObject : public KxRecordContextObject<FileData> {
  public:
    using KxRecordContextObject::KxRecordContextObject;
    ~FileDataContextObject() override = default;
    KxContextObject getAttribute(const KxCString& name) override;
};

class GeneratedFileContextObject : public KxRecordContextObject<GeneratedFile> {
  public:
    using KxRecordContextObject::KxRecordContextObject;
    ~GeneratedFileContextObject() override = default;
    KxContextObject getAttribute(const KxCString& name) override;
};

class XmlErrorContextObject : public KxRecordContextObject<XmlError> {
  public:
    using KxRecordContextObject::KxRecordContextObject;
    ~XmlErrorContextObject() override = default;
    KxContextObject getAttribute(const KxCString& name) override;
};

// kxcreateRecord (KxContextObject.h) makes the records of rows that only one page shows.

KxContextObject kxcreateContextObject(const DirectoryData& record);
KxContextObject kxcreateContextObject(const FileData& record);
KxContextObject kxcreateContextObject(const GeneratedFile& record);
KxContextObject kxcreateContextObject(const XmlError& record);

// ---- lists --------------------------------------------------------------------

// Walks a container from its first to its last element, turning each into a
// template value. It does not own the container: it is valid only as long as
// the list value that made it.
template <class Container>
class KxStdlibContainerEnumerationImpl : public KxEnumerationImpl<KxContextObject> {
  public:
    using Iterator = typename Container::const_iterator;

    KxStdlibContainerEnumerationImpl(Iterator current, Iterator end)
        : current_(current), end_(end) {}

    bool hasMoreElements() override { return current_ != end_; }
    KxContextObject nextElement() override {
        KxContextObject value = kxcreateContextObject(*current_);
        ++current_;
        return value;
    }

  private:
    Iterator current_;
    Iterator end_;
};

template <class T>
class KxListContextObject : public KxContextObjectImpl {
  public:
    explicit KxListContextObject(const KxRecordList<T>& list)
        : KxContextObjectImpl(KxContextObject::kEnumerable), list_(list) {}
    ~KxListContextObject() override = default;

    KxEnumeration<KxContextObject> getAsEnumeration() override {
        return KxEnumeration<KxContextObject>(
            new KxStdlibContainerEnumerationImpl<KxRecordList<T>>(list_.begin(), list_.end()));
    }

    // "entries" gives the number of elements; any other method is unknown.
    KxContextObject invokeMethod(const KxCString& name,
                                 const std::vector<KxContextObject>&) override {
        if (name == "entries") {
            return kxcreateContextObject(
                static_cast<unsigned long>(std::distance(list_.begin(), list_.end())));
        }
        return {};
    }

  private:
    const KxRecordList<T> list_;
};

template <class T>
KxContextObject kxcreateContextObject(const KxRecordList<T>& list) {
    return KxContextObject(new KxListContextObject<T>(list));
}
