-- feature: PIVOT and UNPIVOT before joins
-- default_db: BI
-- default_schema: MART

-- case: pivoted table with column aliases
-- join: INNER | bi.mart.monthly_sales | bi.mart.regions
select p.*, r.region_name
from monthly_sales pivot (sum(amount) for month in ('JAN', 'FEB', 'MAR')) as p (store_id, jan, feb, mar)
join regions r on r.store_id = p.store_id

-- case: pivoted subquery cannot be traced through
-- join: INNER | bi.mart.sales | bi.mart.categories
-- join: INNER | bi.mart.sales, bi.mart.categories | bi.mart.stores
select *
from (
  select s.store_id, c.category, s.amount
  from sales s join categories c on c.id = s.category_id
) pivot (sum(amount) for category in (any order by category)) pv
join stores st on st.id = pv.store_id

-- case: unpivot include nulls
-- join: LEFT OUTER | bi.mart.quarterly_sales | bi.mart.stores
select u.store_id, u.month, u.amount, s.manager
from quarterly_sales unpivot include nulls (amount for month in (jan, feb, mar)) u
left join stores s on s.id = u.store_id

-- case: pivot values from a subquery with default on null
-- join: INNER | bi.mart.quarterly | bi.mart.targets
select * from quarterly q pivot (sum(q.amount) for q.quarter in (select distinct quarter from dims.quarters) default on null (0)) pq
inner join targets t on t.id = pq.id
