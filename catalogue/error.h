// The one error type of Velodex: a failure that names the object and the cause, such as
// "cannot open catalogue '/home/ann/velodex.mdb': database is locked". Expected outcomes
// (a rejected design, an empty folder) are values, never this.
#pragma once

#include <stdexcept>
#include <string>

namespace velodex {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace velodex
