#include "base/xb_list.h"

#include <cstdlib>

XB_LIST::XB_LIST(bool ownsElements) : ownsElements_(ownsElements) {}

XB_LIST::~XB_LIST() {
  // DeleteAll dispatches to this class's DeleteElement here: a derived list's override is gone by now.
  if (ownsElements_) DeleteAll();
  while (head_) {
    Node* next = head_->next;
    delete head_;
    head_ = next;
  }
  tail_ = iterator_ = nullptr;
  count_ = 0;
}

void XB_LIST::DeleteElement(void* element) {
  std::free(element);
}

uint32_t XB_LIST::Append(void* element) {
  Node* node = new Node{nullptr, element};
  if (tail_)
    tail_->next = node;
  else
    head_ = node;
  tail_ = node;
  return ++count_;
}

void* XB_LIST::First() {
  if (!head_) return nullptr;
  iterating_ = true;
  iterator_ = head_;
  return head_->element;
}

void* XB_LIST::Next() {
  if (!iterating_) return First();
  // The iterator may have been cleared by removing the tail under it: the iteration is over.
  if (iterator_) iterator_ = iterator_->next;
  if (!iterator_) {
    iterating_ = false;
    return nullptr;
  }
  return iterator_->element;
}

void* XB_LIST::RemoveHead() {
  if (!head_) return nullptr;
  Node* node = head_;
  if (iterator_ == node) {
    iterator_ = nullptr;
    iterating_ = false;  // the next Next starts again at the new head
  }
  head_ = node->next;
  if (tail_ == node) tail_ = nullptr;
  void* element = node->element;
  delete node;
  --count_;
  return element;
}

void XB_LIST::Remove(void* element) {
  if (!head_) return;
  if (head_->element == element) {
    RemoveHead();
    return;
  }
  Node* previous = head_;
  Node* node = head_->next;
  // The tail is checked before the nodes between, as the list always has.
  if (tail_ && tail_ != head_ && tail_->element == element) {
    while (previous->next != tail_) previous = previous->next;
    node = tail_;
  } else {
    while (node && node->element != element) {
      previous = node;
      node = node->next;
    }
    if (!node) return;
  }
  previous->next = node->next;
  if (node == tail_) {
    tail_ = previous;
    if (iterator_ == node) iterator_ = nullptr;  // iteration ends with the flag still set
  } else if (iterator_ == node) {
    iterator_ = previous;  // Next goes on with the element after the removed one
  }
  delete node;
  --count_;
}

void XB_LIST::DeleteAll() {
  while (head_ && head_->element) DeleteElement(RemoveHead());
}
