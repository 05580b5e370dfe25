#include "tests/support/TestEnvironment.h"

QString TestLoopback::Address(Block block, int host)
{
    Q_ASSERT(host >= 1 && host <= 254);
    bool ok = false;
    const int net = qEnvironmentVariableIntValue("ZOLVA_TEST_LOOPBACK_NET", &ok);
    return QStringLiteral("127.%1.%2.%3").arg(ok && net >= 1 && net <= 254 ? net : 0).arg(int(block)).arg(host);
}

int TestTimeoutMs()
{
    bool ok = false;
    const double factor = qEnvironmentVariable("ZOLVA_TEST_TIMEOUT_FACTOR").toDouble(&ok);
    return int(5000 * (ok && factor > 1.0 ? factor : 1.0));
}
