#include "blocking/PatternIndex.h"

#include <algorithm>
#include <numeric>

PatternIndex::PatternIndex(const QStringList& patterns, qsizetype limit) {
    const qint32 n = static_cast<qint32>(std::min(patterns.size(), limit));

    // Sorted by text (then by position), equal patterns stand next to each other and the trie can
    // be built in one sweep: each pattern only adds what it does not share with the one before.
    std::vector<qint32> order;
    order.reserve(static_cast<size_t>(n));
    for (qint32 i = 0; i < n; ++i) {
        if (patterns.at(i).isEmpty())
            m_emptyPositions.push_back(i);
        else
            order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](qint32 a, qint32 b) {
        const int c = QStringView(patterns.at(a)).compare(QStringView(patterns.at(b)));
        return c != 0 ? c < 0 : a < b;
    });

    // Edges as (parent, character, child) in the order the nodes are made; a parent's children
    // are made in ascending character order.
    struct Edge {
        qint32 parent;
        char16_t c;
        qint32 child;
    };
    std::vector<Edge> edges;
    std::vector<qint32> path{0}; // the nodes along the previous pattern
    qint32 nodes = 1;
    QStringView previous;
    for (const qint32 position : order) {
        const QStringView text(patterns.at(position));
        qsizetype shared = 0;
        const qsizetype most = std::min(text.size(), previous.size());
        while (shared < most && text[shared] == previous[shared])
            ++shared;
        path.resize(static_cast<size_t>(shared) + 1);
        for (qsizetype d = shared; d < text.size(); ++d) {
            edges.push_back({path.back(), text[d].unicode(), nodes});
            path.push_back(nodes++);
        }
        previous = text;
        const auto end = static_cast<size_t>(path.back());
        if (m_endsBegin.size() <= end) {
            m_endsBegin.resize(static_cast<size_t>(nodes), -1);
            m_endsEnd.resize(static_cast<size_t>(nodes), -1);
        }
        if (m_endsBegin[end] < 0)
            m_endsBegin[end] = static_cast<qint32>(m_positions.size());
        m_positions.push_back(position);
        m_endsEnd[end] = static_cast<qint32>(m_positions.size());
    }
    m_endsBegin.resize(static_cast<size_t>(nodes), -1);
    m_endsEnd.resize(static_cast<size_t>(nodes), -1);
    for (size_t v = 0; v < m_endsBegin.size(); ++v) {
        if (m_endsBegin[v] < 0)
            m_endsBegin[v] = m_endsEnd[v] = 0;
    }

    // Group the edges by parent; a stable count keeps each parent's characters ascending.
    m_firstEdge.assign(static_cast<size_t>(nodes) + 1, 0);
    for (const Edge& e : edges)
        ++m_firstEdge[static_cast<size_t>(e.parent) + 1];
    std::partial_sum(m_firstEdge.begin(), m_firstEdge.end(), m_firstEdge.begin());
    m_edgeChar.resize(edges.size());
    m_edgeTarget.resize(edges.size());
    std::vector<qint32> fill(m_firstEdge.begin(), m_firstEdge.end() - 1);
    for (const Edge& e : edges) {
        const auto slot = static_cast<size_t>(fill[static_cast<size_t>(e.parent)]++);
        m_edgeChar[slot] = e.c;
        m_edgeTarget[slot] = e.child;
        if (e.parent == 0 && e.c < 128)
            m_rootAscii[e.c] = e.child;
    }
    edges.clear();
    edges.shrink_to_fit();

    // Failure links breadth first, so a node's suffix is always done before the node.
    m_fail.assign(static_cast<size_t>(nodes), 0);
    m_nextEnd.assign(static_cast<size_t>(nodes), -1);
    std::vector<qint32> queue;
    queue.reserve(static_cast<size_t>(nodes));
    queue.push_back(0);
    for (size_t head = 0; head < queue.size(); ++head) {
        const qint32 u = queue[head];
        for (qint32 e = m_firstEdge[static_cast<size_t>(u)];
             e < m_firstEdge[static_cast<size_t>(u) + 1]; ++e) {
            const char16_t c = m_edgeChar[static_cast<size_t>(e)];
            const qint32 v = m_edgeTarget[static_cast<size_t>(e)];
            qint32 f = 0;
            if (u != 0) {
                f = m_fail[static_cast<size_t>(u)];
                qint32 next = child(f, c);
                while (next < 0 && f != 0) {
                    f = m_fail[static_cast<size_t>(f)];
                    next = child(f, c);
                }
                f = next < 0 ? 0 : next;
            }
            m_fail[static_cast<size_t>(v)] = f;
            const auto fs = static_cast<size_t>(f);
            m_nextEnd[static_cast<size_t>(v)] = m_endsEnd[fs] > m_endsBegin[fs] ? f : m_nextEnd[fs];
            queue.push_back(v);
        }
    }
}

qint32 PatternIndex::child(qint32 node, char16_t c) const {
    if (node == 0 && c < 128) {
        const qint32 to = m_rootAscii[c];
        return to == 0 ? -1 : to;
    }
    const auto first = m_edgeChar.begin() + m_firstEdge[static_cast<size_t>(node)];
    const auto last = m_edgeChar.begin() + m_firstEdge[static_cast<size_t>(node) + 1];
    const auto at = std::lower_bound(first, last, c);
    if (at == last || *at != c)
        return -1;
    return m_edgeTarget[static_cast<size_t>(at - m_edgeChar.begin())];
}

qsizetype PatternIndex::firstCandidate(QStringView address, qsizetype from) const {
    if (address.isEmpty()) {
        const auto at = std::lower_bound(m_emptyPositions.begin(), m_emptyPositions.end(), from);
        return at == m_emptyPositions.end() ? -1 : *at;
    }
    qsizetype best = -1;
    qint32 state = 0;
    for (const QChar ch : address) {
        const char16_t c = ch.unicode();
        qint32 next = child(state, c);
        while (next < 0 && state != 0) {
            state = m_fail[static_cast<size_t>(state)];
            next = child(state, c);
        }
        state = next < 0 ? 0 : next;

        // Every pattern that ends here: this node's own, then those of its suffixes.
        const auto s = static_cast<size_t>(state);
        qint32 node = m_endsEnd[s] > m_endsBegin[s] ? state : m_nextEnd[s];
        while (node >= 0) {
            const auto v = static_cast<size_t>(node);
            const auto first = m_positions.begin() + m_endsBegin[v];
            const auto last = m_positions.begin() + m_endsEnd[v];
            const auto at = std::lower_bound(first, last, from);
            if (at != last && (best < 0 || *at < best)) {
                best = *at;
                if (best == from)
                    return best;
            }
            node = m_nextEnd[v];
        }
    }
    return best;
}

std::shared_ptr<const PatternIndex> PatternIndex::of(const QStringList& patterns, qsizetype limit) {
    // The copy we keep shares the list's data, so any change to the list (which must detach it
    // first) shows as a list we no longer share.
    static QStringList indexed;
    static qsizetype indexedLimit = -1;
    static std::shared_ptr<const PatternIndex> index;
    if (!index || indexedLimit != limit || !indexed.isSharedWith(patterns)) {
        index = std::make_shared<const PatternIndex>(patterns, limit);
        indexed = patterns;
        indexedLimit = limit;
    }
    return index;
}
