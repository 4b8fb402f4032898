#include "arriving_rows.h"

void ArrivingRows::Drawn(int rows) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (rows <= rows_)
      return;
    rows_ = rows;
    wake = awaited_ > 0 && rows_ >= awaited_;
  }
  // The converting thread is woken only once the rows it waits for are in
  // place, not for every row.
  if (wake)
    drawn_.notify_all();
}

void ArrivingRows::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  drawn_.notify_all();
}

int ArrivingRows::Await(int rows) const {
  std::unique_lock lock(mutex_);
  awaited_ = rows;
  drawn_.wait(lock, [&] { return rows_ >= rows || closed_; });
  awaited_ = 0;
  return rows_;
}
