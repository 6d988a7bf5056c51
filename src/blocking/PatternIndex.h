#pragma once

#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

// Answers, in one walk over an address, which hijack patterns occur in it (an Aho–Corasick
// automaton over all the patterns). The hijack check walks the list pattern by pattern and reads
// the window's address afresh for every rule; with this it can jump straight to the next pattern
// that could fire, instead of testing thousands that cannot. A pass over a thousand windows with
// the longest list then costs about as much as one with no list at all.
//
// Matching is exact and case-sensitive, on UTF-16 code units, like QString::contains().
class PatternIndex {
public:
    PatternIndex() = default;
    // Indexes positions 0 .. limit-1 of `patterns`.
    PatternIndex(const QStringList& patterns, qsizetype limit);

    // The smallest position >= `from` whose pattern either rule could fire on for `address`: a
    // non-empty pattern that occurs in it, or an empty pattern when the address is empty (the only
    // address an empty pattern equals). -1 when there is none.
    qsizetype firstCandidate(QStringView address, qsizetype from = 0) const;

    // The index of `patterns`, built once and shared until the list changes. The hijack list only
    // changes when the user edits it, so both passes keep using one index between edits. One
    // thread: the program's UI thread.
    static std::shared_ptr<const PatternIndex> of(const QStringList& patterns, qsizetype limit);

private:
    qint32 child(qint32 node, char16_t c) const;

    // The trie's edges, grouped by parent and sorted by character within a parent.
    std::vector<qint32> m_firstEdge{0, 0}; // per node, plus one past the last
    std::vector<char16_t> m_edgeChar;
    std::vector<qint32> m_edgeTarget;
    // Per node: the longest proper suffix that is also a node, and the nearest node on that chain
    // where a pattern ends (-1 none).
    std::vector<qint32> m_fail{0};
    std::vector<qint32> m_nextEnd{-1};
    // Per node: where the positions of the patterns ending here start and end in m_positions
    // (equal when none end here). Equal patterns share a node; their positions run ascending.
    std::vector<qint32> m_endsBegin{0};
    std::vector<qint32> m_endsEnd{0};
    std::vector<qint32> m_positions;
    // Positions of the empty patterns, ascending.
    std::vector<qint32> m_emptyPositions;
    // The root's moves for the characters most addresses are made of.
    qint32 m_rootAscii[128] = {};
};
