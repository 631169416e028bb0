// A singly linked list of element pointers with one built-in iterator.
#pragma once

#include <cstdint>

class XB_LIST {
 public:
  explicit XB_LIST(bool ownsElements);
  virtual ~XB_LIST();
  XB_LIST(const XB_LIST&) = delete;
  XB_LIST& operator=(const XB_LIST&) = delete;

  // Disposes of one element; the lists of this system release its memory with free().
  virtual void DeleteElement(void* element);

  uint32_t Append(void* element);
  void* First();
  void* Next();
  void Remove(void* element);
  void* RemoveHead();
  void DeleteAll();
  uint32_t Count() const { return count_; }

 private:
  struct Node {
    Node* next;
    void* element;
  };
  uint32_t count_ = 0;
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  Node* iterator_ = nullptr;
  bool iterating_ = false;
  bool ownsElements_ = false;
};
