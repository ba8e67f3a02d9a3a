#pragma once
// Names the exception being handled, for a log line: its kind and its message.

#include <string>

// Call only from inside a catch block. Returns one line such as
// "std::exception is: 'bad allocation'", "CMemoryException is: 'Out of memory.'",
// "exception is: 42" or "exception is unknown!". A framework exception thrown
// as a pointer (throw new CMemoryException) is described and deleted.
std::wstring DescribeCurrentException();
