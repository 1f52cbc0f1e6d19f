// document.cpp - the document's stock new/open/save behaviour and the single-document template.
#include "document.h"

#include <fstream>

#include "app.h"
#include "frame.h"
#include "resources.h"
#include "services.h"
#include "view.h"

CDocument::CDocument() {
  On(ID_FILE_SAVE, [this] { OnFileSave(); });
}

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  SetModifiedFlag(0);
  pathName_.clear();
  std::string name;
  if (template_ != nullptr) template_->GetDocString(name, CDocTemplate::docName);
  title_ = name.empty() ? "Untitled" : name;
  return 1;
}

BOOL CDocument::OnOpenDocument(const std::string& path) {
  CArchive ar(path, false);
  DeleteContents();
  Serialize(ar);
  SetModifiedFlag(0);
  return 1;
}

BOOL CDocument::OnSaveDocument(const std::string& path) {
  // The file is created (truncated) first; Serialize writes whatever the document stores.
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return 0;
  }
  CArchive ar(path, true);
  Serialize(ar);
  SetModifiedFlag(0);
  return 1;
}

void CDocument::Serialize(CArchive&) {}

void CDocument::SetPathName(const std::string& path) {
  pathName_ = path;
  const size_t slash = path.find_last_of('/');
  title_ = slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {
// The template's filter ("Name|*.ext||") or empty, which the dialog shows as "All Files (*.*)".
void TemplateFilter(const CDocTemplate* t, std::string* filter, std::string* ext) {
  std::string name, extension;
  if (t != nullptr) {
    t->GetDocString(name, CDocTemplate::filterName);
    t->GetDocString(extension, CDocTemplate::filterExt);
  }
  if (!name.empty() && !extension.empty()) *filter = name + "|*" + extension + "||";
  *ext = extension;
}

CWnd* DialogOwner() {
  return AfxGetMainWnd();
}
}  // namespace

void CDocument::OnFileOpen() {
  auto& dialog = Services().fileDialog;
  if (!dialog) return;
  std::string filter, ext, path;
  TemplateFilter(template_, &filter, &ext);
  if (!dialog->Open(DialogOwner(), filter, ext, &path)) return;
  if (OnOpenDocument(path)) SetPathName(path);
  if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->OnUpdateFrameTitle();
}

void CDocument::OnFileSave() {
  std::string path = pathName_;
  if (path.empty()) {
    auto& dialog = Services().fileDialog;
    if (!dialog) return;
    std::string filter, ext;
    TemplateFilter(template_, &filter, &ext);
    if (!dialog->Save(DialogOwner(), filter, ext, title_, &path)) return;
  }
  if (OnSaveDocument(path)) SetPathName(path);
  if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->OnUpdateFrameTitle();
}

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, DocFactory doc, FrameFactory frame,
                                       ViewFactory view)
    : resourceId_(resourceId),
      docFactory_(std::move(doc)),
      frameFactory_(std::move(frame)),
      viewFactory_(std::move(view)) {}

CSingleDocTemplate::~CSingleDocTemplate() {
  // The frame (and its view) go before the document they point to.
  frame_.reset();
  doc_.reset();
}

bool CSingleDocTemplate::GetDocString(std::string& out, DocStringIndex index) const {
  out = AfxExtractSubString(AfxLoadString(resourceId_), static_cast<int>(index));
  return !out.empty();
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const char* path) {
  if (!doc_) {
    doc_ = docFactory_ ? docFactory_() : nullptr;
    if (!doc_) return nullptr;
    doc_->SetDocTemplate(this);
  }
  if (!frameCreated_) {
    frame_ = frameFactory_ ? frameFactory_() : nullptr;
    if (!frame_) return nullptr;
    CCreateContext context;
    context.m_pCurrentDoc = doc_.get();
    context.m_pNewViewClass = viewFactory_;
    CWinApp* app = AfxGetApp();
    // The frame is the main window from the start, as the framework does, so that the
    // frame's creation code can find it.
    if (app != nullptr && app->m_pMainWnd == nullptr) app->m_pMainWnd = frame_.get();
    if (!frame_->LoadFrame(resourceId_, &context)) {
      if (app != nullptr && app->m_pMainWnd == frame_.get()) app->m_pMainWnd = nullptr;
      frame_.reset();
      return nullptr;
    }
    frameCreated_ = true;
  }
  if (path == nullptr) {
    if (!doc_->OnNewDocument()) return nullptr;
  } else {
    if (!doc_->OnOpenDocument(path)) return nullptr;
    doc_->SetPathName(path);
  }
  frame_->OnUpdateFrameTitle();
  return doc_.get();
}
