"""The mutation check seeds the faults it means to, and none in comments, includes or log lines."""
import unittest

from mutate import line_mutants

ROWS = [
    ("comparisons", "    if (a == b && c < d) {", ["'==' -> '!='", "'<' -> '>='"]),
    ("shifts, arrows, templates", "    x = y << 2 >> z; p->q(QMap<int, int>());", []),
    ("compound assignment", "    x <<= 1; y >>= 2;", []),
    ("operator declaration", "bool operator==(const A& o) const;", []),
    ("preprocessor", "#if QT_VERSION >= 0x050F00", []),
    ("comment", "    x(); // a == b", []),
    ("quote in a char literal", "    f('\"', a != b);", ["'!=' -> '=='"]),
    ("comparison inside a text", '    f("x == y");', []),
    ("dropped call", "    m_ui->list->clear();", ["drop m_ui->list->clear()"]),
    ("call that is not a statement", "    return close();", []),
    ("text", '    show(QStringLiteral("Set PIN now."));', ["\"Set PIN now.\": 'N' -> 'O'"]),
    ("escape kept", '    f("Ab cd\\nef gh");', ["\"Ab cd\\nef gh\": 'e' -> 'f'"]),
    ("log line", '    qDebug() << "Device was removed";', []),
    ("style sheet", '    f("QPushButton{color: red}");', []),
    ("command word", '    f("fido reset");', []),
]


class LineMutants(unittest.TestCase):
    def test_rows(self):
        for name, line, changes in ROWS:
            with self.subTest(name):
                found, _ = line_mutants("src/x.cpp", 1, line, False)
                self.assertEqual([m.change for _, m in found], changes)

    def test_mutated_line(self):
        found, _ = line_mutants("src/x.cpp", 1, "    if (a >= b)", False)
        self.assertEqual(found[0][1].mutated, "    if (a < b)")

    def test_block_comment_spans_lines(self):
        _, in_comment = line_mutants("src/x.cpp", 1, "    /* a == b", False)
        found, in_comment = line_mutants("src/x.cpp", 2, "    c != d */ e > f;", in_comment)
        self.assertEqual([m.change for _, m in found], ["'>' -> '<='"])
        self.assertFalse(in_comment)


if __name__ == "__main__":
    unittest.main()
