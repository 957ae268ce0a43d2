#pragma once
// Handles that are keys of a table of numbered entries: numbers count up
// through a range and go round, skipping those in use, so that a closed or
// forged handle finds nothing while the counter has not gone round.

#include <cstdint>

// The table's number for a handle; 0 (no entry's) for a value wider than 32 bits.
inline std::uint32_t TableNumber(const void* inHandle)
{
  std::uintptr_t theValue = reinterpret_cast<std::uintptr_t>(inHandle);
  return theValue <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(theValue) : 0;
}

// The first number from ioNext on that inTable does not hold, in the range
// inFirst..inLast; ioNext moves past it. Call with the table's lock held.
template <typename Table>
std::uint32_t TakeFreeNumber(const Table& inTable, std::uint32_t& ioNext, std::uint32_t inFirst, std::uint32_t inLast)
{
  auto theStep = [&] { ioNext = ioNext == inLast ? inFirst : ioNext + 1; };
  while (inTable.count(ioNext) != 0)
    theStep();
  const std::uint32_t theNumber = ioNext;
  theStep();
  return theNumber;
}
