#include "shell/UrlTokens.h"
#include "support/TestMain.h"

class TestUrlTokens : public QObject {
    Q_OBJECT

private slots:
    void decoding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("decoded");
        const auto row = [](const char* name, QString text, QString mode, QString decoded) {
            QTest::newRow(name) << text << mode << decoded;
        };
        row("double quote", "a_dblq_b", "http", "a\"b");
        row("parentheses in an address", "x_lftp_y_rtp_z", "http", "x(y)z");
        row("parentheses kept otherwise", "x_lftp_y_rtp_", "file", "x_lftp_y_rtp_");
        row("bar and apostrophe always", "a_vbr_b_sglq_c", "file", "a|b'c");
        row("every occurrence", "_dblq__dblq__dblq_", "http", "\"\"\"");
        row("a replacement forms no new token", "_vbr_sglq_", "http", "|sglq_");
        row("case matters", "_DBLQ_", "http", "_DBLQ_");
    }
    void decoding() {
        QFETCH(QString, text);
        QFETCH(QString, mode);
        QFETCH(QString, decoded);
        QCOMPARE(DecodeUrlTokens(text, mode), decoded);
    }

    // What logged entries, the help page and the vendor's pages may open: "" = refused.
    void webAddresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        const auto row = [](const char* name, QString text, QString address) {
            QTest::newRow(name) << text << address;
        };
        row("no scheme", "www.example.com/page", "http://www.example.com/page");
        row("host and port", "localhost:8080/x", "http://localhost:8080/x");
        row("text before http", "see: http://a.example/", "http://a.example/");
        row("https keeps its scheme", "https://a.example/", "https://a.example/");
        row("file", "file:///etc/passwd", "");
        row("script", "javascript:alert(1)", "");
        row("about:blank", "about:blank", "");
        row("no host", "http://", "");
    }
    void webAddresses() {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QCOMPARE(webAddressOf(text).value_or(QString()), address);
    }
};

PAGEWARDEN_TEST_MAIN(TestUrlTokens, QCoreApplication)
#include "test_url_tokens.moc"
