#include "core/instrument/ResourcePattern.h"

#include <cctype>
#include <utility>

namespace merilog {
namespace {

using ByteSet = std::bitset<256>;

// Case-insensitive: every byte brings its other case along.
ByteSet BothCases(const ByteSet& s) {
  ByteSet out = s;
  for (int c = 0; c < 256; ++c)
    if (s[static_cast<std::size_t>(c)]) {
      out.set(static_cast<unsigned char>(std::tolower(c)));
      out.set(static_cast<unsigned char>(std::toupper(c)));
    }
  return out;
}

ByteSet OneByte(unsigned char c) {
  ByteSet s;
  s.set(c);
  return BothCases(s);
}

// The expression in postfix order, with concatenation made explicit.
enum class Op { Atom, Empty, Concat, Alt, Star, Plus };
struct Step {
  Op op;
  int set = -1;  // Atom
};

bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

// "[...]" from the "[" at in[i]; on success i is left on the closing "]".
bool ParseClass(std::string_view in, std::size_t& i, ByteSet* set, std::string* why) {
  std::size_t j = i + 1;
  bool negate = false;
  if (j < in.size() && in[j] == '^') {
    negate = true;
    ++j;
  }
  ByteSet s;
  // A "]" first in the class is a member; "-" first, last or after a range is one too.
  for (bool first = true; j < in.size(); first = false) {
    const auto c = static_cast<unsigned char>(in[j]);
    if (c == ']' && !first) {
      *set = BothCases(s);
      if (negate) set->flip();
      i = j;
      return true;
    }
    if (j + 2 < in.size() && in[j + 1] == '-' && in[j + 2] != ']') {
      const auto last = static_cast<unsigned char>(in[j + 2]);
      if (last < c) return Fail(why, "a range in \"[...]\" runs backwards");
      for (unsigned v = c; v <= last; ++v) s.set(v);
      j += 3;
    } else {
      s.set(c);
      ++j;
    }
  }
  return Fail(why, "a \"[\" has no closing \"]\"");
}

// Postfix form of the expression, read left to right with one counter pair per
// open group on an explicit stack.
bool ToPostfix(std::string_view in, std::vector<Step>* post, std::vector<ByteSet>* sets, std::string* why) {
  struct Level {
    int alternatives = 0, atoms = 0;
  };
  std::vector<Level> levels(1);
  bool haveAtom = false;  // whether "*" or "+" has an element before it
  const auto atom = [&](Op op, int set) {
    Level& l = levels.back();
    if (l.atoms > 1) {
      post->push_back({Op::Concat});
      --l.atoms;
    }
    post->push_back({op, set});
    ++l.atoms;
  };
  const auto addSet = [&](const ByteSet& s) {
    sets->push_back(s);
    return static_cast<int>(sets->size()) - 1;
  };
  // Joins the atoms of the innermost level, then its alternatives; an empty
  // alternative matches the empty string.
  const auto closeAlternative = [&] {
    Level& l = levels.back();
    if (l.atoms == 0) atom(Op::Empty, -1);
    while (--l.atoms > 0) post->push_back({Op::Concat});
  };
  const auto closeLevel = [&] {
    closeAlternative();
    for (Level& l = levels.back(); l.alternatives > 0; --l.alternatives) post->push_back({Op::Alt});
  };

  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    switch (c) {
      case '\\':
        if (i + 1 >= in.size()) return Fail(why, "the pattern ends in \"\\\"");
        atom(Op::Atom, addSet(OneByte(static_cast<unsigned char>(in[++i]))));
        haveAtom = true;
        break;
      case '?':
        atom(Op::Atom, addSet(ByteSet().set()));
        haveAtom = true;
        break;
      case '*':
      case '+':
        // A repeat with nothing before it stands for any characters.
        if (!haveAtom) atom(Op::Atom, addSet(ByteSet().set()));
        post->push_back({c == '*' ? Op::Star : Op::Plus});
        haveAtom = false;
        break;
      case '[': {
        ByteSet s;
        if (!ParseClass(in, i, &s, why)) return false;
        atom(Op::Atom, addSet(s));
        haveAtom = true;
        break;
      }
      case '(':
        if (levels.back().atoms > 1) {
          post->push_back({Op::Concat});
          --levels.back().atoms;
        }
        levels.emplace_back();
        haveAtom = false;
        break;
      case ')':
        if (levels.size() < 2) return Fail(why, "a \")\" has no opening \"(\"");
        closeLevel();
        levels.pop_back();
        ++levels.back().atoms;
        haveAtom = true;
        break;
      case '|':
        closeAlternative();
        ++levels.back().alternatives;
        haveAtom = false;
        break;
      default:
        atom(Op::Atom, addSet(OneByte(static_cast<unsigned char>(c))));
        haveAtom = true;
        break;
    }
  }
  if (levels.size() != 1) return Fail(why, "a \"(\" has no closing \")\"");
  closeLevel();
  return true;
}

}  // namespace

std::optional<ResourcePattern> ResourcePattern::Compile(std::string_view expression, std::string* why) {
  if (expression.size() > kMaxPatternLength) {
    if (why) *why = "the pattern is longer than " + std::to_string(kMaxPatternLength) + " characters";
    return std::nullopt;
  }
  ResourcePattern p;
  std::vector<Step> post;
  if (!ToPostfix(expression, &post, &p.sets_, why)) return std::nullopt;

  // Thompson's construction over the postfix form, with a stack of fragments:
  // each fragment has a start state and the exits still to be connected.
  struct Exit {
    int state;
    bool second;  // out1 rather than out
  };
  struct Fragment {
    int start;
    std::vector<Exit> exits;
  };
  std::vector<Fragment> stack;
  auto add = [&p](State s) {
    p.states_.push_back(s);
    return static_cast<int>(p.states_.size()) - 1;
  };
  auto connect = [&p](const std::vector<Exit>& exits, int to) {
    for (const Exit& e : exits) (e.second ? p.states_[e.state].out1 : p.states_[e.state].out) = to;
  };
  for (const Step& step : post) {
    switch (step.op) {
      case Op::Atom:
      case Op::Empty: {
        const int s = add({step.op == Op::Atom ? State::Kind::Char : State::Kind::Empty, step.set});
        stack.push_back({s, {{s, false}}});
        break;
      }
      case Op::Concat: {
        Fragment second = std::move(stack.back());
        stack.pop_back();
        Fragment& first = stack.back();
        connect(first.exits, second.start);
        first.exits = std::move(second.exits);
        break;
      }
      case Op::Alt: {
        Fragment second = std::move(stack.back());
        stack.pop_back();
        Fragment& first = stack.back();
        first.start = add({State::Kind::Split, -1, first.start, second.start});
        first.exits.insert(first.exits.end(), second.exits.begin(), second.exits.end());
        break;
      }
      case Op::Star:
      case Op::Plus: {
        Fragment& e = stack.back();
        const int split = add({State::Kind::Split, -1, e.start});
        connect(e.exits, split);
        e.exits = {{split, true}};
        if (step.op == Op::Star) e.start = split;
        break;
      }
    }
  }
  connect(stack.back().exits, add({State::Kind::Match}));
  p.start_ = stack.back().start;
  return p;
}

bool ResourcePattern::Matches(std::string_view resource) const {
  if (resource.size() > kMaxResourceLength || start_ < 0) return false;
  // The states reached so far, each once per position (marked with the position's number).
  std::vector<int> current, next, pending;
  std::vector<std::size_t> mark(states_.size(), 0);
  std::size_t generation = 1;
  const auto reach = [&](std::vector<int>& list, int from) {
    pending.push_back(from);
    while (!pending.empty()) {
      const int s = pending.back();
      pending.pop_back();
      if (s < 0 || mark[static_cast<std::size_t>(s)] == generation) continue;
      mark[static_cast<std::size_t>(s)] = generation;
      const State& st = states_[static_cast<std::size_t>(s)];
      if (st.kind == State::Kind::Split) {
        pending.push_back(st.out1);
        pending.push_back(st.out);
      } else if (st.kind == State::Kind::Empty) {
        pending.push_back(st.out);
      } else {
        list.push_back(s);
      }
    }
  };
  reach(current, start_);
  for (const char ch : resource) {
    const auto c = static_cast<unsigned char>(ch);
    ++generation;
    next.clear();
    for (int s : current) {
      const State& st = states_[static_cast<std::size_t>(s)];
      if (st.kind == State::Kind::Char && sets_[static_cast<std::size_t>(st.set)][c]) reach(next, st.out);
    }
    current.swap(next);
    if (current.empty()) return false;
  }
  for (int s : current)
    if (states_[static_cast<std::size_t>(s)].kind == State::Kind::Match) return true;
  return false;
}

bool MatchResourcePattern(std::string_view expression, std::string_view resource) {
  auto p = ResourcePattern::Compile(expression);
  return p && p->Matches(resource);
}

}  // namespace merilog
