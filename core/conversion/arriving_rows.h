// The rows of a page that one thread draws while another converts it: the
// drawing thread says how many rows from the top are in place, and the
// converting thread waits for the rows it is about to read.
#pragma once

#include <condition_variable>
#include <mutex>

class ArrivingRows {
public:
  // 'Drawn()' - Rows 0 .. rows - 1 are in place and are not written again.
  void Drawn(int rows);

  // 'Close()' - No more rows come: the page is drawn, or its drawing broke
  // off.
  void Close();

  // 'Await()' - Wait until 'rows' rows are in place or no more come; the
  // rows in place.
  int Await(int rows) const;

private:
  mutable std::mutex mutex_;
  mutable std::condition_variable drawn_;
  int rows_ = 0;
  mutable int awaited_ = 0; // the rows a waiting thread waits for, else 0
  bool closed_ = false;
};
