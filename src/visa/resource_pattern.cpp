#include "visa/resource_pattern.h"

#include <cctype>

namespace hvzelta::visa {
namespace {

// Deeper nesting than this is refused rather than risk the stack.
constexpr int kMaxNesting = 64;

using Set = std::bitset<256>;

Set FoldCase(Set set) {
  for (int c = 'a'; c <= 'z'; ++c) {
    const int upper = c - 'a' + 'A';
    if (set[c] || set[upper]) set.set(c).set(upper);
  }
  return set;
}

Set Single(unsigned char c) { return FoldCase(Set().set(c)); }

}  // namespace

// Recursive descent over the pattern, building fragments of the program
// whose jumps count from the fragment's start; joining two fragments moves
// the second one's jumps by the first one's length.
class ResourcePattern::Compiler {
 public:
  explicit Compiler(std::string_view pattern) : text_(pattern) {}

  ViStatus Run(Program& program) {
    if (text_.size() > kMaxLength) return VI_ERROR_INV_EXPR;
    // Braces outside a list start an attribute expression.
    if (std::size_t brace = AttributeExpressionStart(); brace != std::string_view::npos) {
      if (text_.back() != '}') return VI_ERROR_INV_EXPR;
      return VI_ERROR_NSUP_OPER;
    }
    if (!Alternatives(program, 0) || at_ != text_.size()) return VI_ERROR_INV_EXPR;
    Instruction accept;
    accept.op = Instruction::Op::Accept;
    program.push_back(accept);
    return VI_SUCCESS;
  }

 private:
  std::size_t AttributeExpressionStart() const {
    bool inList = false;
    for (std::size_t i = 0; i < text_.size(); ++i) {
      const char c = text_[i];
      if (c == '\\') {
        ++i;
      } else if (inList) {
        inList = c != ']';
      } else if (c == '[') {
        inList = true;
      } else if (c == '{') {
        return i;
      }
    }
    return std::string_view::npos;
  }

  static void Append(Program& to, const Program& from) {
    const std::size_t offset = to.size();
    for (Instruction instruction : from) {
      instruction.first += offset;
      instruction.second += offset;
      to.push_back(instruction);
    }
  }

  static Instruction Branch(Instruction::Op op, std::size_t first, std::size_t second = 0) {
    Instruction instruction;
    instruction.op = op;
    instruction.first = first;
    instruction.second = second;
    return instruction;
  }

  bool Alternatives(Program& out, int depth) {
    if (depth > kMaxNesting) return false;
    Program left;
    if (!Sequence(left, depth)) return false;
    while (at_ < text_.size() && text_[at_] == '|') {
      ++at_;
      Program right;
      if (!Sequence(right, depth)) return false;
      Program joined;
      joined.push_back(Branch(Instruction::Op::Split, 1, left.size() + 2));
      Append(joined, left);
      joined.push_back(Branch(Instruction::Op::Jump, left.size() + 2 + right.size()));
      Append(joined, right);
      left = std::move(joined);
    }
    Append(out, left);
    return true;
  }

  bool Sequence(Program& out, int depth) {
    while (at_ < text_.size() && text_[at_] != '|' && text_[at_] != ')') {
      Program atom;
      if (!Atom(atom, depth)) return false;
      while (at_ < text_.size() && (text_[at_] == '*' || text_[at_] == '+')) {
        Program repeated;
        if (text_[at_] == '*') {
          repeated.push_back(Branch(Instruction::Op::Split, 1, atom.size() + 2));
          Append(repeated, atom);
          repeated.push_back(Branch(Instruction::Op::Jump, 0));
        } else {
          Append(repeated, atom);
          repeated.push_back(Branch(Instruction::Op::Split, 0, atom.size() + 1));
        }
        atom = std::move(repeated);
        ++at_;
      }
      Append(out, atom);
    }
    return true;
  }

  bool Atom(Program& out, int depth) {
    const char c = text_[at_++];
    Instruction take;
    take.op = Instruction::Op::Take;
    switch (c) {
      case '*':
      case '+':  // a repetition of nothing
        return false;
      case '(':
        if (!Alternatives(out, depth + 1) || at_ >= text_.size() || text_[at_] != ')') return false;
        ++at_;
        return true;
      case '[':
        if (!List(take.set)) return false;
        break;
      case '?':
        take.set.set();
        break;
      case '\\':
        if (at_ >= text_.size()) return false;
        take.set = Single(static_cast<unsigned char>(text_[at_++]));
        break;
      default:
        take.set = Single(static_cast<unsigned char>(c));
        break;
    }
    out.push_back(take);
    return true;
  }

  // After "[": the characters up to "]", with ranges, "^" first to negate.
  bool List(Set& set) {
    const bool negated = at_ < text_.size() && text_[at_] == '^';
    if (negated) ++at_;
    bool empty = true;
    while (at_ < text_.size() && (text_[at_] != ']' || empty)) {
      unsigned char low = static_cast<unsigned char>(text_[at_++]);
      if (low == '\\') {
        if (at_ >= text_.size()) return false;
        low = static_cast<unsigned char>(text_[at_++]);
      }
      unsigned char high = low;
      if (at_ + 1 < text_.size() && text_[at_] == '-' && text_[at_ + 1] != ']') {
        high = static_cast<unsigned char>(text_[at_ + 1]);
        at_ += 2;
        if (high < low) return false;
      }
      for (unsigned value = low; value <= high; ++value) set.set(value);
      empty = false;
    }
    if (at_ >= text_.size()) return false;
    ++at_;  // "]"
    set = FoldCase(set);
    if (negated) set.flip();
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

ViStatus ResourcePattern::Compile(std::string_view pattern, std::optional<ResourcePattern>& compiled) {
  compiled.reset();
  ResourcePattern result;
  Compiler compiler(pattern);
  if (ViStatus status = compiler.Run(result.program_); status != VI_SUCCESS) return status;
  compiled = std::move(result);
  return VI_SUCCESS;
}

bool ResourcePattern::Matches(std::string_view name) const {
  // The places the machine can be at before the next character, each kept
  // once; following splits and jumps uses a stack of our own.
  std::vector<std::size_t> current;
  std::vector<std::size_t> next;
  std::vector<std::size_t> seenAt(program_.size(), SIZE_MAX);
  std::vector<std::size_t> pending;
  auto add = [&](std::vector<std::size_t>& list, std::size_t start, std::size_t step) {
    pending.push_back(start);
    while (!pending.empty()) {
      const std::size_t pc = pending.back();
      pending.pop_back();
      if (seenAt[pc] == step) continue;
      seenAt[pc] = step;
      const Instruction& instruction = program_[pc];
      if (instruction.op == Instruction::Op::Jump) {
        pending.push_back(instruction.first);
      } else if (instruction.op == Instruction::Op::Split) {
        pending.push_back(instruction.second);
        pending.push_back(instruction.first);
      } else {
        list.push_back(pc);
      }
    }
  };
  add(current, 0, 0);
  for (std::size_t i = 0; i < name.size() && !current.empty(); ++i) {
    next.clear();
    const auto c = static_cast<unsigned char>(name[i]);
    for (std::size_t pc : current) {
      const Instruction& instruction = program_[pc];
      if (instruction.op == Instruction::Op::Take && instruction.set[c]) add(next, pc + 1, i + 1);
    }
    current.swap(next);
  }
  for (std::size_t pc : current) {
    if (program_[pc].op == Instruction::Op::Accept) return true;
  }
  return false;
}

}  // namespace hvzelta::visa
