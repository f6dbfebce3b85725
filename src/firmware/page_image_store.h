#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "firmware/page_image.h"
#include "firmware/page_image_reader.h"

// Where the page image waits between its build and the transfer that reads it page by page.
class PageImageStore {
 public:
  virtual ~PageImageStore() = default;
  // The HEX file at `hexPath` converted and kept; problems as values.
  virtual PageImageBuild Build(const std::string& hexPath) = 0;
  // The kept image, ready for the transfer; false when it is gone or is no image the boot
  // loader can take.
  virtual bool OpenForTransfer() = 0;
  virtual std::size_t PageCount() const = 0;
  // Page `page` into `data` (kPageSize bytes); false when it cannot be read whole.
  virtual bool ReadPage(std::size_t page, uint8_t* data) = 0;
  // Nothing is kept any more.
  virtual void Discard() = 0;
};

// The page image as a file (the dialog program's "Hex.tmp" beside it), read back by the
// transfer.
class PageImageFile final : public PageImageStore {
 public:
  explicit PageImageFile(std::string path) : path_(std::move(path)) {}
  void SetPath(std::string path) { path_ = std::move(path); }
  const std::string& Path() const { return path_; }

  PageImageBuild Build(const std::string& hexPath) override;
  bool OpenForTransfer() override;
  std::size_t PageCount() const override { return reader_.PageCount(); }
  bool ReadPage(std::size_t page, uint8_t* data) override { return reader_.ReadPage(page, data); }
  void Discard() override;

 private:
  std::string path_;
  PageImageReader reader_;
};

// The page image kept in memory, where no other program reads it and no folder needs to be
// writable.
class PageImageInMemory final : public PageImageStore {
 public:
  PageImageBuild Build(const std::string& hexPath) override;
  bool OpenForTransfer() override;
  std::size_t PageCount() const override { return image_.size() / kPageSize; }
  bool ReadPage(std::size_t page, uint8_t* data) override;
  void Discard() override { image_.clear(); }

 private:
  std::vector<uint8_t> image_;
};
