#include "edit/history.h"

namespace vorlane::edit {

void UndoStack::add(std::unique_ptr<Command> command) {
  while (canRedo()) {
    bytes_ -= costs_.back();
    steps_.pop_back();
    costs_.pop_back();
  }
  if (clean_ && *clean_ > index_) clean_.reset();
  if (index_ > 0 && clean_ != index_ && steps_.back()->merge(*command)) {
    bytes_ -= costs_.back();
    costs_.back() = steps_.back()->cost();
    bytes_ += costs_.back();
  } else {
    costs_.push_back(command->cost());
    bytes_ += costs_.back();
    steps_.push_back(std::move(command));
    ++index_;
  }
  trim();
}

bool UndoStack::undo(Document& doc) {
  if (!canUndo()) return false;
  steps_[--index_]->undo(doc);
  return true;
}

bool UndoStack::redo(Document& doc) {
  if (!canRedo()) return false;
  steps_[index_++]->redo(doc);
  return true;
}

void UndoStack::clear() {
  steps_.clear();
  costs_.clear();
  bytes_ = 0;
  if (clean_ != index_) clean_.reset();
  else clean_ = 0;
  index_ = 0;
}

void UndoStack::setLimits(HistoryLimits limits) {
  limits_ = limits;
  trim();
}

void UndoStack::trim() {
  while (!steps_.empty() && (steps_.size() > limits_.steps || bytes_ > limits_.bytes)) {
    if (index_ > 0) {
      dropOldest();
    } else {  // everything undone: the redo steps go, newest first, as the state before them stays
      bytes_ -= costs_.back();
      steps_.pop_back();
      costs_.pop_back();
      if (clean_ && *clean_ > steps_.size()) clean_.reset();
    }
  }
}

void UndoStack::dropOldest() {
  bytes_ -= costs_.front();
  steps_.pop_front();
  costs_.pop_front();
  --index_;
  if (clean_) {
    if (*clean_ == 0) clean_.reset();
    else --*clean_;
  }
}

}  // namespace vorlane::edit
