#include "table_writer.h"

#include "console_io.h"

// Fills the buffer and hands it to the file, as often as `bytes` needs.
void table_writer::put_past_buffer(std::string_view bytes) {
  for (std::size_t room = buffer_size - used_; bytes.size() > room; room = buffer_size) {
    std::memcpy(buffer_.get() + used_, bytes.data(), room);
    used_ = buffer_size;
    flush();
    bytes.remove_prefix(room);
  }
  put(bytes);
}

void table_writer::flush() {
  if (error_ == 0 && used_ > 0) {
    error_ = error_of([&] { return std::fwrite(buffer_.get(), 1, used_, file_) == used_; });
  }
  used_ = 0;
}
