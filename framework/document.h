// document.h - CDocument (a document that may hold nothing; open and save go through the file
// dialog service and Serialize) and CSingleDocTemplate (binds document, frame and view).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cmd_target.h"

class CFrameWnd;
class CView;
class CDocTemplate;

// The archive handed to Serialize: a file being stored or loaded.
class CArchive {
 public:
  CArchive(std::string path, bool storing) : path_(std::move(path)), storing_(storing) {}
  bool IsStoring() const { return storing_; }
  bool IsLoading() const { return !storing_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool storing_;
};

class CDocument : public CCmdTarget {
 public:
  CDocument();
  ~CDocument() override = default;

  // New document: re-initialises silently (no dialog).
  virtual BOOL OnNewDocument();
  virtual BOOL OnOpenDocument(const std::string& path);
  virtual BOOL OnSaveDocument(const std::string& path);
  virtual void DeleteContents() {}
  // Stores or loads the document's data; the default stores and loads nothing.
  virtual void Serialize(CArchive& ar);

  // The stock commands: open (57601) and save (57603).
  void OnFileOpen();
  void OnFileSave();

  const std::string& GetTitle() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  const std::string& GetPathName() const { return pathName_; }
  void SetPathName(const std::string& path);
  BOOL IsModified() const { return modified_; }
  void SetModifiedFlag(BOOL modified = 1) { modified_ = modified; }
  CDocTemplate* GetDocTemplate() const { return template_; }
  void SetDocTemplate(CDocTemplate* t) { template_ = t; }

 private:
  std::string title_;
  std::string pathName_;
  BOOL modified_ = 0;
  CDocTemplate* template_ = nullptr;
};

class CDocTemplate {
 public:
  virtual ~CDocTemplate() = default;
  // Template string field indexes.
  enum DocStringIndex {
    windowTitle,
    docName,
    fileNewName,
    filterName,
    filterExt,
    regFileTypeId,
    regFileTypeName
  };
  virtual bool GetDocString(std::string& out, DocStringIndex index) const = 0;
  virtual CDocument* OpenDocumentFile(const char* path) = 0;
};

class CSingleDocTemplate : public CDocTemplate {
 public:
  using DocFactory = std::function<std::unique_ptr<CDocument>()>;
  using FrameFactory = std::function<std::unique_ptr<CFrameWnd>()>;
  using ViewFactory = std::function<std::unique_ptr<CView>()>;

  CSingleDocTemplate(UINT resourceId, DocFactory doc, FrameFactory frame, ViewFactory view);
  ~CSingleDocTemplate() override;

  UINT GetResourceId() const { return resourceId_; }
  bool GetDocString(std::string& out, DocStringIndex index) const override;
  // Null path: a new document (creating document, frame and view the first time; re-using
  // them afterwards). Returns null on failure.
  CDocument* OpenDocumentFile(const char* path) override;

  CDocument* GetDocument() const { return doc_.get(); }
  CFrameWnd* GetFrame() const { return frame_.get(); }

 private:
  UINT resourceId_;
  DocFactory docFactory_;
  FrameFactory frameFactory_;
  ViewFactory viewFactory_;
  std::unique_ptr<CDocument> doc_;
  std::unique_ptr<CFrameWnd> frame_;
  bool frameCreated_ = false;
};
