#include "platform/desktop/MetadataPredicate.h"

namespace hb {

MetadataAttribute metadataAttributeNamed(const QString& name)
{
    static const std::pair<QString, MetadataAttribute> names[] = {
        {kMDItemDateAdded, MetadataAttribute::dateAdded},
        {kMDItemContentTypeTree, MetadataAttribute::contentTypeTree},
        {kMDItemContentType, MetadataAttribute::contentType},
        {kMDItemKind, MetadataAttribute::kind},
        {kMDItemFSInvisible, MetadataAttribute::invisible},
        {kMDItemSupportFileType, MetadataAttribute::supportFileType},
        {kMDItemPath, MetadataAttribute::path},
    };
    for (const auto& [text, attribute] : names) {
        if (text == name)
            return attribute;
    }
    return MetadataAttribute::unknown;
}

enum class Op { equal, notEqual, less, greater };

struct MetadataPredicate::Node {
    enum class Kind { conjunction, disjunction, comparison } kind = Kind::comparison;
    std::unique_ptr<const Node> left;
    std::unique_ptr<const Node> right;
    MetadataAttribute attribute = MetadataAttribute::unknown;
    Op op = Op::equal;
    MetadataValue operand;
};

namespace {

using Node = MetadataPredicate::Node;

// Equality of two single values of the same kind; values of different kinds are never equal.
bool sameValue(const MetadataValue& a, const MetadataValue& b)
{
    if (a.index() != b.index() || std::holds_alternative<std::monostate>(a))
        return false;
    return a == b;
}

// -1, 0, 1, or none when the values cannot be ordered.
std::optional<int> order(const MetadataValue& a, const MetadataValue& b)
{
    if (a.index() != b.index())
        return std::nullopt;
    if (const auto* date = std::get_if<MetadataDate>(&a)) {
        const MetadataDate other = std::get<MetadataDate>(b);
        return *date < other ? -1 : (other < *date ? 1 : 0);
    }
    if (const auto* text = std::get_if<QString>(&a))
        return text->compare(std::get<QString>(b));
    return std::nullopt;
}

bool compare(const MetadataValue& value, Op op, const MetadataValue& operand)
{
    if (const auto* list = std::get_if<QStringList>(&value)) {
        const auto* text = std::get_if<QString>(&operand);
        const bool any = text && list->contains(*text);
        switch (op) {
        case Op::equal:
            return any;
        case Op::notEqual:
            return !any;
        default:
            return false;
        }
    }
    switch (op) {
    case Op::equal:
        return sameValue(value, operand);
    case Op::notEqual:
        return !sameValue(value, operand);
    case Op::less:
        return order(value, operand) == -1;
    case Op::greater:
        return order(value, operand) == 1;
    }
    return false;
}

bool evaluate(const Node& node, const MetadataAttributeSource& item)
{
    switch (node.kind) {
    case Node::Kind::conjunction:
        return evaluate(*node.left, item) && evaluate(*node.right, item);
    case Node::Kind::disjunction:
        return evaluate(*node.left, item) || evaluate(*node.right, item);
    case Node::Kind::comparison:
        break;
    }
    return compare(item.valueForAttribute(node.attribute), node.op, node.operand);
}

class Parser {
public:
    Parser(const QString& format, const std::vector<MetadataValue>& arguments) : m_text(format), m_arguments(arguments)
    {
    }

    std::unique_ptr<const Node> parse()
    {
        auto root = disjunction();
        skipSpace();
        if (root && m_pos != m_text.size())
            return fail(QStringLiteral("unexpected text"));
        if (root && m_nextArgument != m_arguments.size())
            return fail(QStringLiteral("more arguments than placeholders"));
        return root;
    }
    const QString& problem() const { return m_problem; }
    qsizetype position() const { return m_pos; }

private:
    std::unique_ptr<const Node> fail(const QString& problem)
    {
        failed(problem);
        return nullptr;
    }
    bool failed(const QString& problem)
    {
        if (m_problem.isEmpty())
            m_problem = problem;
        return false;
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    bool take(QStringView token)
    {
        skipSpace();
        if (QStringView(m_text).mid(m_pos).startsWith(token)) {
            m_pos += token.size();
            return true;
        }
        return false;
    }

    std::unique_ptr<const Node> join(Node::Kind kind, std::unique_ptr<const Node> left,
                                     std::unique_ptr<const Node> right)
    {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->left = std::move(left);
        node->right = std::move(right);
        return node;
    }

    std::unique_ptr<const Node> disjunction()
    {
        auto left = conjunction();
        while (left && take(u"||")) {
            auto right = conjunction();
            if (!right)
                return nullptr;
            left = join(Node::Kind::disjunction, std::move(left), std::move(right));
        }
        return left;
    }

    std::unique_ptr<const Node> conjunction()
    {
        auto left = primary();
        while (left && take(u"&&")) {
            auto right = primary();
            if (!right)
                return nullptr;
            left = join(Node::Kind::conjunction, std::move(left), std::move(right));
        }
        return left;
    }

    std::unique_ptr<const Node> primary()
    {
        if (take(u"(")) {
            auto inner = disjunction();
            if (!inner)
                return nullptr;
            if (!take(u")"))
                return fail(QStringLiteral("missing )"));
            return inner;
        }
        return comparison();
    }

    std::unique_ptr<const Node> comparison()
    {
        skipSpace();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'_'))
            ++m_pos;
        if (m_pos == start)
            return fail(QStringLiteral("expected an attribute name"));
        auto node = std::make_unique<Node>();
        node->attribute = metadataAttributeNamed(m_text.mid(start, m_pos - start));
        if (take(u"=="))
            node->op = Op::equal;
        else if (take(u"!="))
            node->op = Op::notEqual;
        else if (take(u"<"))
            node->op = Op::less;
        else if (take(u">"))
            node->op = Op::greater;
        else
            return fail(QStringLiteral("expected ==, !=, < or >"));
        if (!operand(node->operand))
            return nullptr;
        return node;
    }

    bool operand(MetadataValue& value)
    {
        skipSpace();
        if (take(u"%@")) {
            if (m_nextArgument >= m_arguments.size())
                return failed(QStringLiteral("more placeholders than arguments"));
            value = m_arguments[m_nextArgument++];
            return true;
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == u'\'' || m_text[m_pos] == u'"')) {
            const QChar quote = m_text[m_pos];
            const qsizetype end = m_text.indexOf(quote, m_pos + 1);
            if (end < 0)
                return failed(QStringLiteral("unterminated string"));
            value = m_text.mid(m_pos + 1, end - m_pos - 1);
            m_pos = end + 1;
            return true;
        }
        if (takeWord(u"YES")) {
            value = true;
            return true;
        }
        if (takeWord(u"NO")) {
            value = false;
            return true;
        }
        return failed(QStringLiteral("expected a value"));
    }

    bool takeWord(QStringView word)
    {
        const qsizetype after = m_pos + word.size();
        if (!QStringView(m_text).mid(m_pos).startsWith(word))
            return false;
        if (after < m_text.size() && (m_text[after].isLetterOrNumber() || m_text[after] == u'_'))
            return false;
        m_pos = after;
        return true;
    }

    const QString& m_text;
    const std::vector<MetadataValue>& m_arguments;
    qsizetype m_pos = 0;
    std::size_t m_nextArgument = 0;
    QString m_problem;
};

}  // namespace

std::optional<MetadataPredicate> MetadataPredicate::predicateWithFormat(const QString& format,
                                                                        const std::vector<MetadataValue>& arguments,
                                                                        Error* error)
{
    Parser parser(format, arguments);
    std::shared_ptr<const Node> root = parser.parse();
    if (!root) {
        if (error) {
            *error = Error{
                NSCocoaErrorDomain,
                2048,  // the platform's invalid-format code
                {{NSLocalizedDescriptionKey, QStringLiteral("Unable to parse the format string \"%1\": %2 at %3")
                                                 .arg(format, parser.problem())
                                                 .arg(parser.position())}}};
        }
        return std::nullopt;
    }
    return MetadataPredicate(std::move(root));
}

bool MetadataPredicate::evaluateWithObject(const MetadataAttributeSource& item) const
{
    return evaluate(*m_root, item);
}

}  // namespace hb
