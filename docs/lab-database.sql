-- STAVELY lab database: the tables where the testers of a laboratory send their results and audit
-- events. Run once by the lab's administrator, as the owner of the database:
--     psql "postgresql://admin@labserver/results" -f lab-database.sql     (or: stavely --db-init --db URI)
-- then give each tester a login in the role stavely_tester:
--     CREATE ROLE tester3 LOGIN PASSWORD '...' IN ROLE stavely_tester;
-- Testers may add rows and read them, never change or delete one. Running this file again changes nothing.

CREATE TABLE IF NOT EXISTS stavely_schema (
    version integer PRIMARY KEY,
    installed timestamptz NOT NULL DEFAULT now()
);

-- One row per result, as its tester's results store holds it; uuid is the result's own identity, so a
-- result sent twice is kept once.
CREATE TABLE IF NOT EXISTS results (
    uuid uuid PRIMARY KEY,
    instrument text NOT NULL,       -- the sending store's identity: one audit trail each
    content text NOT NULL,          -- every stored value of the result, as its "added" entry covers it
    record bytea,                   -- the load/time record as the store keeps it (compressed); none: NULL
    -- Copies of some of the content's items, for searching; --audit-verify checks that they agree.
    data_file text NOT NULL,        -- path of the data file on the tester
    row_number integer NOT NULL,
    line text NOT NULL,             -- the row as written to the data file
    sample text NOT NULL DEFAULT '',
    operator text NOT NULL DEFAULT '',
    tested_at text NOT NULL DEFAULT '',  -- yyyy-mm-ddThh:mm:ss on the instrument's clock
    nominal_rate text NOT NULL DEFAULT '',
    stress_mpa double precision,
    sent_by text NOT NULL DEFAULT current_user,
    received_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS results_sample ON results (sample, tested_at);
CREATE INDEX IF NOT EXISTS results_instrument ON results (instrument);
CREATE INDEX IF NOT EXISTS results_tested_at ON results (tested_at);

-- Each store's audit trail, a hash chain: hash = SHA-256(previous hash || the entry's canonical text).
CREATE TABLE IF NOT EXISTS events (
    uuid uuid PRIMARY KEY,
    instrument text NOT NULL,
    seq bigint NOT NULL,            -- the entry's place in its store's trail, from 1
    utc text NOT NULL,              -- ISO 8601 with milliseconds
    system_user_name text NOT NULL,
    operator text NOT NULL,
    kind text NOT NULL,
    data_file text NOT NULL,
    row_number integer NOT NULL,
    result_uuid text NOT NULL,
    before_value text NOT NULL,
    after_value text NOT NULL,
    hash text NOT NULL,
    sent_by text NOT NULL DEFAULT current_user,
    received_at timestamptz NOT NULL DEFAULT now(),
    UNIQUE (instrument, seq)
);
CREATE INDEX IF NOT EXISTS events_result ON events (result_uuid);

-- Testers: add and read, nothing else (a resend's ON CONFLICT DO NOTHING needs no more).
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'stavely_tester') THEN
        CREATE ROLE stavely_tester NOLOGIN;
    END IF;
END
$$;
REVOKE ALL ON stavely_schema, results, events FROM PUBLIC;
REVOKE ALL ON stavely_schema, results, events FROM stavely_tester;
GRANT USAGE ON SCHEMA public TO stavely_tester;
GRANT SELECT ON stavely_schema TO stavely_tester;
GRANT SELECT, INSERT ON results, events TO stavely_tester;

INSERT INTO stavely_schema (version) VALUES (1) ON CONFLICT DO NOTHING;
