#include "shell/UrlTokens.h"
#include "support/TestMain.h"

class TestUrlTokens : public QObject {
    Q_OBJECT

private slots:
    void decoding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("double quote") << "a_dblq_b"
                                      << "http"
                                      << "a\"b";
        QTest::newRow("parentheses in an address") << "x_lftp_y_rtp_z"
                                                   << "http"
                                                   << "x(y)z";
        QTest::newRow("parentheses kept outside addresses") << "x_lftp_y_rtp_"
                                                            << "file"
                                                            << "x_lftp_y_rtp_";
        QTest::newRow("bar and apostrophe always") << "a_vbr_b_sglq_c"
                                                   << "file"
                                                   << "a|b'c";
        QTest::newRow("every occurrence") << "_dblq__dblq__dblq_"
                                          << "http"
                                          << "\"\"\"";
        QTest::newRow("nothing to do") << "http://plain.example/"
                                       << "http"
                                       << "http://plain.example/";
        QTest::newRow("case matters") << "_DBLQ_"
                                      << "http"
                                      << "_DBLQ_";
    }
    void decoding() {
        QFETCH(QString, text);
        QFETCH(QString, mode);
        QFETCH(QString, decoded);
        QCOMPARE(DecodeUrlTokens(text, mode), decoded);
    }

    void scheme_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("result");
        QTest::newRow("no scheme") << "www.example.com/page"
                                   << "http://www.example.com/page";
        QTest::newRow("text before http") << "see: http://a.example/"
                                          << "http://a.example/";
        QTest::newRow("https keeps its scheme") << "https://a.example/"
                                                << "https://a.example/";
        QTest::newRow("text before https") << "at https://a.example/"
                                           << "https://a.example/";
        QTest::newRow("already") << "http://a.example/"
                                 << "http://a.example/";
        QTest::newRow("empty") << ""
                               << "http://";
    }
    void scheme() {
        QFETCH(QString, address);
        QFETCH(QString, result);
        QCOMPARE(withHttpScheme(address), result);
    }
};

PAGEWARDEN_TEST_MAIN(TestUrlTokens, QCoreApplication)
#include "test_url_tokens.moc"
